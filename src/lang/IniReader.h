#pragma once

#include <QString>

namespace kv {

// Longest value a lookup returns; longer values are cut.
inline constexpr int kMaxIniValueLength = 499;

// Reads one value of an INI file the way the language files need it: the file is read anew
// on every call, section and key names match without regard to case, the value is trimmed
// and cut to kMaxIniValueLength characters, an empty value stays empty, and a missing file,
// section or key gives `defaultText`. Files are UTF-8 (a leading byte-order mark is skipped);
// lines starting with ';' or '#' are comments.
QString ReadIniValue(const QString& file, const QString& section, const QString& key,
                     const QString& defaultText);

} // namespace kv
