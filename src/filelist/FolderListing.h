#pragma once

#include <QString>
#include <QStringList>

namespace kv {

// Entries of a folder, in file-name order, "." and ".." left out, hidden files included.
// With noSubfolders false, the files of every level below follow with full paths (never the
// folders' own names): hidden folders are left out, and a folder already entered (a link
// back up the tree, or a second way to the same folder) is entered once. With includeFolders,
// the folder itself lists its subfolders' paths. With namesOnly, the folder's own files are given
// by name, else by full path.
QStringList ListFolderFiles(const QString& folder, bool noSubfolders, bool includeFolders,
                            bool namesOnly);

// Joins a folder and a name with one "/" between them.
QString JoinPath(const QString& folder, const QString& name);

} // namespace kv
