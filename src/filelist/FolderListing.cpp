#include "filelist/FolderListing.h"

#include "settings/NativePath.h"

#include <QCollator>
#include <QLocale>

#include <dirent.h>

#include <algorithm>

namespace kv {

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QStringList ListFolderFiles(const QString& folder, bool noSubfolders, bool includeFolders,
                            bool namesOnly) {
    // The folder is read by its bytes: a name that is not UTF-8 is listed too (Qt's own
    // listing leaves it out), and it reaches the file again through NativePath.
    QStringList names;
    if (DIR* dir = opendir(NativePath(folder).constData())) {
        while (const dirent* e = readdir(dir)) {
            const QByteArray raw(e->d_name);
            if (raw != "." && raw != "..")
                names << PathFromNative(raw);
        }
        closedir(dir);
    }
    // The order a file manager shows: letter case aside, numbers by value ("Track 2" before
    // "Track 10"); names equal that way by their code units, so the order is always the same.
    // The C locale compares plain code units, numbers too: English rules stand in for it.
    const QLocale locale = QLocale::system().language() == QLocale::C
                               ? QLocale(QLocale::English)
                               : QLocale::system();
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        const int c = collator.compare(a, b);
        return c != 0 ? c < 0 : a < b;
    });

    QStringList result;
    QStringList subfolders;
    for (const QString& name : names) {
        const QString path = JoinPath(folder, name);
        const NativeFileInfo e = StatNative(path);
        // A link to a folder is not entered, so a loop of links cannot recurse forever.
        if (e.isDir) {
            if (includeFolders)
                result << path;
            if (!e.isSymLink)
                subfolders << name;
        } else {
            result << (namesOnly ? name : path);
        }
    }
    if (!noSubfolders) {
        for (const QString& sub : subfolders)
            result << ListFolderFiles(JoinPath(folder, sub), false, false, false);
    }
    return result;
}

} // namespace kv
