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

QString baseName(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

OutputName failed(OutputName::Outcome outcome, const QString& error) {
    return {outcome, QString(), error, FileIdentity{}, nullptr};
}

enum class Claim { Made, Taken, Folder, Failed };

// The name is ours only if we are the ones who create the file: checking first and creating
// later lets another run take it in between. The file made stays open in `held`.
Claim claim(const QString& path, FileIdentity& identity, HeldFile& held, int& error) {
    const QByteArray native = QFile::encodeName(path);
    const int fd = OpenRetrying(native, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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

} // namespace

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
        choice.sameFolder && !IsCdTrack(source) ? ParentFolder(source) : choice.outPath;
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

} // namespace kv
