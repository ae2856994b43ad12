#include "convert/OutputNaming.h"

#include "filelist/AddFile2Grid.h"
#include "settings/NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {
namespace {
const QString kConverted = QStringLiteral("_Converted");

QString parentFolder(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return path.left(slash);
}

QString baseName(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

int openRetrying(const QByteArray& path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path.constData(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

OutputName failed(OutputName::Outcome outcome, const QString& error) {
    return {outcome, QString(), error, FileIdentity{}, nullptr};
}

enum class Claim { Made, Taken, Folder, Failed };

// The name is ours only if we are the ones who create the file: checking first and creating
// later lets another run take it in between. The file made stays open in `held`.
Claim claim(const QString& path, FileIdentity& identity, HeldFile& held, int& error) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = openRetrying(native, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        struct stat st {};
        if (::fstat(fd, &st) == 0)
            identity = {static_cast<std::uint64_t>(st.st_dev),
                        static_cast<std::uint64_t>(st.st_ino)};
        held = HeldFile(fd);
        return Claim::Made;
    }
    error = errno;
    if (error != EEXIST)
        return Claim::Failed;
    // A file or a link (dangling ones too, never written through) takes the name; a folder
    // does not.
    struct stat st {};
    if (::lstat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return Claim::Folder;
    if (S_ISLNK(st.st_mode) && ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return Claim::Folder;
    return Claim::Taken;
}

// The claim the calling thread converts into (see ClaimInHand).
thread_local OutputName* claimInHand = nullptr;

// A descriptor of its own on the claim in hand for `path`; -1 when none is in hand for it.
int duplicateClaimInHand(const QString& path) {
    if (claimInHand == nullptr || !claimInHand->held || !claimInHand->held->valid() ||
        claimInHand->path != path)
        return -1;
    return ::fcntl(claimInHand->held->get(), F_DUPFD_CLOEXEC, 0);
}
// A process killed while it wrote leaves ".NAME.kvpart-PID-N" behind: the next staged output
// in that folder removes those of processes that are gone.
void sweepStagedLeftovers(const QString& folder) {
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (dir == nullptr)
        return;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        const qsizetype mark = name.lastIndexOf(".kvpart-");
        if (!name.startsWith('.') || mark < 0)
            continue;
        const QList<QByteArray> parts = name.mid(mark + 8).split('-');
        bool pidOk = false, nOk = false;
        const pid_t pid = parts.size() == 2 ? parts[0].toInt(&pidOk) : 0;
        if (parts.size() == 2)
            parts[1].toInt(&nOk);
        if (pidOk && nOk && pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(dir), name.constData(), 0);
    }
    ::closedir(dir);
}
} // namespace

QString SystemErrorText(const QString& path, int errorNumber) {
    return path + QStringLiteral(": ") + qt_error_string(errorNumber);
}

QString NormalizeSeparators(const QString& path) {
    QString out;
    out.reserve(path.size());
    const bool leadingPair = path.startsWith(QStringLiteral("//"));
    if (leadingPair)
        out = QStringLiteral("//");
    for (qsizetype i = leadingPair ? 2 : 0; i < path.size(); ++i) {
        if (path[i] == QLatin1Char('/') && out.endsWith(QLatin1Char('/')) &&
            !(leadingPair && out.size() == 2))
            continue;
        out.append(path[i]);
    }
    return out;
}

OutputName GetOutputFileName(const QString& sourcePath, const QString& extension,
                             const OutputFolderChoice& choice) {
    const QString source = NormalizeSeparators(sourcePath);
    // A track's "folder" is a drive or an image, never a place to write: it goes to the chosen
    // folder whatever the choice.
    QString folder =
        choice.sameFolder && !IsCdTrack(source) ? parentFolder(source) : choice.outPath;
    // A folder whose name is not UTF-8 cannot be written to by name; making one "like it"
    // would put the output somewhere else.
    if (HasRawBytes(folder))
        return failed(OutputName::Outcome::FolderNotCreated,
                      QStringLiteral("%1: the folder's name cannot be written to").arg(folder));

    if (!QFileInfo(folder).isDir()) {
        // Only the last component is made; the folders above it must be there already.
        if (folder.isEmpty())
            return failed(OutputName::Outcome::FolderNotCreated,
                          QStringLiteral("no output folder"));
        // Another run may have made it meanwhile; anything else by that name is in the way.
        if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0) {
            const int error = errno;
            if (error != EEXIST)
                return failed(OutputName::Outcome::FolderNotCreated,
                              SystemErrorText(folder, error));
            if (!QFileInfo(folder).isDir())
                return failed(OutputName::Outcome::FolderNotCreated,
                              SystemErrorText(folder, ENOTDIR));
        }
    }
    if (!QFileInfo(folder).isDir())
        return failed(OutputName::Outcome::FolderMissing, SystemErrorText(folder, ENOTDIR));

    QString base = baseName(source);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    folder = NormalizeSeparators(folder);
    const QString dotExt = QLatin1Char('.') + extension;

    // Each candidate in turn; a taken one leads to the next.
    auto attempt = [&](const QString& candidate, OutputName& result) {
        FileIdentity identity;
        HeldFile held;
        int error = 0;
        switch (claim(candidate, identity, held, error)) {
        case Claim::Made:
            result = {OutputName::Outcome::Ok, candidate, {}, identity,
                      std::make_shared<const HeldFile>(std::move(held))};
            return true;
        case Claim::Folder:
            result = {OutputName::Outcome::Ok, candidate, {}, {}, nullptr};
            return true;
        case Claim::Failed:
            result = {OutputName::Outcome::NotCreated, candidate,
                      SystemErrorText(candidate, error), {}, nullptr};
            return true;
        case Claim::Taken:
            break;
        }
        return false;
    };

    OutputName result;
    if (attempt(folder + base + dotExt, result))
        return result;
    if (!base.endsWith(kConverted)) {
        base += kConverted;
        if (attempt(folder + base + dotExt, result))
            return result;
    }
    for (int k = 0; k <= 10000; ++k) {
        if (attempt(folder + base + QLatin1Char('_') + QString::number(k) + dotExt, result))
            return result;
    }
    return failed(OutputName::Outcome::NoFreeName,
                  QStringLiteral("%1: every output name is taken").arg(folder + base + dotExt));
}

void ReleaseOutputClaim(const OutputName& name) {
    if (name.outcome != OutputName::Outcome::Ok || !name.held || !name.held->valid())
        return;
    struct stat st {};
    if (::fstat(name.held->get(), &st) == 0 && st.st_size == 0)
        RemoveOwnOutput(name.held->get(), name.path);
}

bool LeadsTo(const QString& path, int fd) {
    struct stat held {}, named {};
    if (fd < 0 || path.isEmpty() || ::fstat(fd, &held) != 0 ||
        ::lstat(QFile::encodeName(path).constData(), &named) != 0)
        return false;
    return held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

bool RemoveOwnOutput(int fd, const QString& path) {
    return LeadsTo(path, fd) && ::unlink(QFile::encodeName(path).constData()) == 0;
}

ClaimInHand::ClaimInHand(OutputName& name) : previous_(claimInHand) {
    claimInHand = &name;
}

ClaimInHand::~ClaimInHand() {
    claimInHand = previous_;
}

HeldFile ClaimInHandFile(const QString& path) {
    return HeldFile(duplicateClaimInHand(path));
}

StagedOutput::~StagedOutput() {
    if (fd_.valid())
        discard();
}

bool StagedOutput::open(const QString& output, QString* error) {
    QFile claim;
    if (!OpenClaimedOutput(claim, output, error))
        return false;
    claim_ = UniqueFd(::fcntl(claim.handle(), F_DUPFD_CLOEXEC, 0));
    output_ = output;
    const QString folder = parentFolder(output);
    QString name = output.mid(output.lastIndexOf(QLatin1Char('/')) + 1);
    sweepStagedLeftovers(folder);
    // A name near the file system's limit leaves its own out of the temporary one.
    if (QFile::encodeName(name).size() > 200)
        name.clear();
    for (int n = 0; n < 1000; ++n) {
        temp_ = folder + QStringLiteral("/.") + name + QStringLiteral(".kvpart-") +
                QString::number(::getpid()) + QLatin1Char('-') + QString::number(n);
        fd_ = UniqueFd(openRetrying(QFile::encodeName(temp_),
                                    O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd_.valid())
            return true;
        if (errno != EEXIST)
            break;
    }
    if (error)
        *error = SystemErrorText(temp_, errno);
    temp_.clear();
    RemoveOwnOutput(claim_.get(), output_);
    return false;
}

bool StagedOutput::commit(QString* error) {
    const QByteArray temp = QFile::encodeName(temp_), output = QFile::encodeName(output_);
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        discard();
        return false;
    };
    if (!fd_.valid())
        return fail(QStringLiteral("%1: no file to put in place").arg(output_));
    if (!LeadsTo(output_, claim_.get()))
        return fail(QStringLiteral("%1: the output was removed or replaced while it was written")
                        .arg(output_));
    // Exchanged, not renamed over: the claim moves to the temporary name, so a file another run
    // made at the name in the meantime comes back rather than being lost.
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, output.constData(), RENAME_EXCHANGE) ==
        0) {
        if (!LeadsTo(temp_, claim_.get())) {
            ::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, output.constData(),
                        RENAME_EXCHANGE);
            return fail(QStringLiteral("%1: the output was replaced while it was written")
                            .arg(output_));
        }
        RemoveOwnOutput(claim_.get(), temp_);
    } else if (errno == EINVAL || errno == ENOSYS) {
        // A file system without exchange: renamed over the claim, checked just before.
        if (std::rename(temp.constData(), output.constData()) != 0)
            return fail(SystemErrorText(output_, errno));
    } else {
        return fail(SystemErrorText(output_, errno));
    }
    // From now on the output is this file: what holds the claim holds it.
    if (claimInHand != nullptr && claimInHand->path == output_) {
        struct stat st {};
        if (::fstat(fd_.get(), &st) == 0)
            claimInHand->claim = {static_cast<std::uint64_t>(st.st_dev),
                                  static_cast<std::uint64_t>(st.st_ino)};
        claimInHand->held = std::make_shared<const HeldFile>(
            HeldFile(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0)));
    }
    claim_ = UniqueFd(std::move(fd_));
    temp_.clear();
    return true;
}

void StagedOutput::discard() {
    if (fd_.valid() && !temp_.isEmpty())
        RemoveOwnOutput(fd_.get(), temp_);
    if (claim_.valid() && !output_.isEmpty())
        RemoveOwnOutput(claim_.get(), output_);
    fd_ = UniqueFd();
    temp_.clear();
}

HeldFile HoldOutput(const QString& path) {
    if (const int fd = duplicateClaimInHand(path); fd >= 0)
        return HeldFile(fd);
    // Non-blocking, so a pipe at the name cannot hold us.
    return HeldFile(openRetrying(QFile::encodeName(path), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
}

bool OpenClaimedOutput(QFile& file, const QString& path, QString* error) {
    auto fail = [&](int errorNumber) {
        if (error)
            *error = SystemErrorText(path, errorNumber);
        return false;
    };
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("no output file name");
        return false;
    }
    const QByteArray native = QFile::encodeName(path);
    int fd = duplicateClaimInHand(path);
    if (fd < 0)
        fd = openRetrying(native, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno != EEXIST)
            return fail(errno);
        // Non-blocking, so a device or a pipe at the name cannot hold us before it is refused.
        fd = openRetrying(native, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return fail(errno == ELOOP ? EEXIST : errno);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0) {
            ::close(fd);
            return fail(EEXIST);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    // Unbuffered: a write that fails says so at once, with the system's reason.
    if (!file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        const int openError = errno;
        ::close(fd);
        return fail(openError);
    }
    return true;
}

} // namespace kv
