#include "convert/OutputNaming.h"

#include "settings/NativePath.h"

#include <QDir>
#include <QFileInfo>

namespace kv {
namespace {
const QString kConverted = QStringLiteral("_Converted");

// A name is taken by a file, or by a link we must not write through.
bool isTaken(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() || (info.isSymLink() && !info.exists());
}

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
    QString folder = choice.sameFolder ? parentFolder(source) : choice.outPath;
    // A folder whose name is not UTF-8 cannot be written to by name; making one "like it"
    // would put the output somewhere else.
    if (HasRawBytes(folder))
        return {OutputName::Outcome::FolderNotCreated, {}};

    if (!QFileInfo(folder).isDir()) {
        // Only the last component is made; the folders above it must be there already.
        if (folder.isEmpty() || !QDir().mkdir(folder))
            return {OutputName::Outcome::FolderNotCreated, {}};
    }
    if (!QFileInfo(folder).isDir())
        return {OutputName::Outcome::FolderMissing, {}};

    QString base = baseName(source);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    folder = NormalizeSeparators(folder);
    const QString dotExt = QLatin1Char('.') + extension;

    QString candidate = folder + base + dotExt;
    if (!isTaken(candidate))
        return {OutputName::Outcome::Ok, candidate};
    if (!base.endsWith(kConverted)) {
        base += kConverted;
        candidate = folder + base + dotExt;
        if (!isTaken(candidate))
            return {OutputName::Outcome::Ok, candidate};
    }
    for (int k = 0; k <= 10000; ++k) {
        candidate = folder + base + QLatin1Char('_') + QString::number(k) + dotExt;
        if (!isTaken(candidate))
            return {OutputName::Outcome::Ok, candidate};
    }
    return {OutputName::Outcome::NoFreeName, {}};
}

} // namespace kv
