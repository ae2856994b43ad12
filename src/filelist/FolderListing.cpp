#include "filelist/FolderListing.h"

#include "settings/NativePath.h"

#include <QCollator>
#include <QLocale>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>

namespace kv {

namespace {

// A folder as the file system knows it, whatever path or link leads to it.
using FolderId = std::pair<dev_t, ino_t>;

bool folderId(const QString& path, FolderId& id) {
    struct stat st {};
    if (stat(NativePath(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    id = {st.st_dev, st.st_ino};
    return true;
}

QStringList listFolder(const QString& folder, bool noSubfolders, bool includeFolders,
                       bool namesOnly, std::set<FolderId>& seen);

} // namespace

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QStringList ListFolderFiles(const QString& folder, bool noSubfolders, bool includeFolders,
                            bool namesOnly) {
    std::set<FolderId> seen;
    FolderId id;
    if (!noSubfolders && folderId(folder, id))
        seen.insert(id);
    return listFolder(folder, noSubfolders, includeFolders, namesOnly, seen);
}

namespace {

QStringList listFolder(const QString& folder, bool noSubfolders, bool includeFolders,
                       bool namesOnly, std::set<FolderId>& seen) {
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
        if (e.isDir) {
            if (includeFolders)
                result << path;
            // Hidden folders (settings, caches, a trash) hold no music to add.
            if (!name.startsWith(QLatin1Char('.')))
                subfolders << name;
        } else {
            result << (namesOnly ? name : path);
        }
    }
    if (!noSubfolders) {
        for (const QString& sub : subfolders) {
            // A folder already entered, through a link or not, is passed over: a link back up
            // the tree cannot loop and a folder reached twice is not listed twice.
            const QString path = JoinPath(folder, sub);
            FolderId id;
            if (folderId(path, id) && seen.insert(id).second)
                result << listFolder(path, false, false, false, seen);
        }
    }
    return result;
}

} // namespace

} // namespace kv
