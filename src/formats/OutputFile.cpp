#include "formats/OutputFile.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv {
namespace {
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

int OpenRetrying(const QByteArray& path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path.constData(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

QString ParentFolder(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return path.left(slash);
}

QString SystemErrorText(const QString& path, int errorNumber) {
    return path + QStringLiteral(": ") + qt_error_string(errorNumber);
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
    const QString folder = ParentFolder(output);
    QString name = output.mid(output.lastIndexOf(QLatin1Char('/')) + 1);
    sweepStagedLeftovers(folder);
    // A name near the file system's limit leaves its own out of the temporary one.
    if (QFile::encodeName(name).size() > 200)
        name.clear();
    for (int n = 0; n < 1000; ++n) {
        temp_ = folder + QStringLiteral("/.") + name + QStringLiteral(".kvpart-") +
                QString::number(::getpid()) + QLatin1Char('-') + QString::number(n);
        fd_ = UniqueFd(OpenRetrying(QFile::encodeName(temp_),
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
    return HeldFile(OpenRetrying(QFile::encodeName(path), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
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
        fd = OpenRetrying(native, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno != EEXIST)
            return fail(errno);
        // Non-blocking, so a device or a pipe at the name cannot hold us before it is refused.
        fd = OpenRetrying(native, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
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
