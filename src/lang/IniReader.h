#pragma once

#include "settings/RegularFile.h"

#include <QString>

namespace kv {

// Longest value a lookup returns; longer values are cut.
inline constexpr int kMaxIniValueLength = 499;

// Reads one value of an INI file the way the language files need it: every call sees the file
// as it is now (a parsed copy serves while the file's device, inode, size and modification time
// stay the same), only a regular file of up to kMaxLanguageFileBytes is read (anything else
// gives `defaultText`), section and key names match without regard to case, the value is trimmed
// and cut to kMaxIniValueLength characters, an empty value stays empty, and a missing file,
// section or key gives `defaultText`. A value wholly in double quotes loses them. A file with
// a UTF-16 byte-order mark (either order) is UTF-16; otherwise it is UTF-8 (a leading mark is
// skipped) when it decodes as such, else Windows-1252. CR LF, LF and a lone CR end a line;
// lines starting with ';' or '#' are comments.
QString ReadIniValue(const QString& file, const QString& section, const QString& key,
                     const QString& defaultText);

} // namespace kv
