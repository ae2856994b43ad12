#include "filelist/FolderListing.h"

#include <QDir>
#include <QFileInfo>

namespace kv {

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QStringList ListFolderFiles(const QString& folder, bool noSubfolders, bool includeFolders,
                            bool namesOnly) {
    QStringList result;
    QStringList subfolders;
    const QDir dir(folder);
    const QFileInfoList entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& e : entries) {
        const QString name = e.fileName();
        // A link to a folder is not entered, so a loop of links cannot recurse forever.
        if (e.isDir()) {
            if (includeFolders)
                result << JoinPath(folder, name);
            if (!e.isSymLink())
                subfolders << name;
        } else {
            result << (namesOnly ? name : JoinPath(folder, name));
        }
    }
    if (!noSubfolders) {
        for (const QString& sub : subfolders)
            result << ListFolderFiles(JoinPath(folder, sub), false, false, false);
    }
    return result;
}

} // namespace kv
