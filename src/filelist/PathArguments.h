#pragma once

#include <QString>
#include <QStringList>

namespace kv {

// Paths given to the program (its command line, a file manager's "Open with"): made absolute
// against `workingFolder`, "file:" addresses turned into their local paths, empty ones left
// out.
QStringList AbsolutePaths(const QStringList& arguments, const QString& workingFolder);

} // namespace kv
