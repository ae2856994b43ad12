#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kv {
namespace {
QString& overrideFolder() {
    static QString folder;
    return folder;
}
} // namespace

QString ProgramFolder() {
    if (!overrideFolder().isEmpty())
        return overrideFolder();
    return ProgramFolderFor(QCoreApplication::applicationDirPath());
}

QString ProgramFolderFor(const QString& executableDir) {
    const QDir beside(executableDir);
    if (beside.exists(QStringLiteral("Lang")))
        return QDir::cleanPath(executableDir);
    // Installed: the data folder at the place the install rules put it, relative to the
    // executable, so a tree moved to another prefix still finds it.
    const QString installed = QDir::cleanPath(beside.filePath(QStringLiteral(KV_DATA_FROM_BINARY)));
    if (QDir(installed).exists(QStringLiteral("Lang")))
        return installed;
    return QDir::cleanPath(executableDir);
}

void SetProgramFolder(const QString& folder) {
    overrideFolder() = QDir::cleanPath(folder);
}

QString WritableFolder() {
    const QString program = ProgramFolder();
    // An installed program's data folder belongs to the system: nothing is written there,
    // even by root, so an uninstall leaves nothing behind.
    const bool installed = overrideFolder().isEmpty() &&
                           program != QDir::cleanPath(QCoreApplication::applicationDirPath());
    if (!installed && QFileInfo(program).isWritable())
        return program;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return data;
}

QString HelpFilePath() {
    return ProgramFolder() + QStringLiteral("/Help/index.html");
}

} // namespace kv
