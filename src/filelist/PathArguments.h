#pragma once

#include <QString>
#include <QStringList>

namespace kv {

// Paths given to the program (its command line, a file manager's "Open with"): made absolute
// against `workingFolder`, "file:" addresses turned into their local paths, empty ones left
// out.
QStringList AbsolutePaths(const QStringList& arguments, const QString& workingFolder);

// What those paths add to the list: a file as it is, a folder as the files directly inside
// it, in name order (its subfolders are not entered).
QStringList FilesOfPaths(const QStringList& paths);

} // namespace kv
