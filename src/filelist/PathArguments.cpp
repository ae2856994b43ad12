#include "filelist/PathArguments.h"

#include "filelist/FolderListing.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace kv {

QStringList AbsolutePaths(const QStringList& arguments, const QString& workingFolder) {
    QStringList paths;
    const QDir base(workingFolder);
    for (const QString& argument : arguments) {
        QString path = argument;
        if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
            path = QUrl(path).toLocalFile();
        if (path.isEmpty())
            continue;
        paths << QDir::cleanPath(base.absoluteFilePath(path));
    }
    return paths;
}

} // namespace kv
