#pragma once

#include <QString>

namespace kv {

// The test file, left in the writable program folder.
inline const QString kWmaCheckFile = QStringLiteral("CheckWMASupport.wma");

// True when WMA can be encoded here. Writes CheckWMASupport.wma, an ASF file without audio,
// into the writable program folder and leaves it there. A folder that cannot be written to
// says nothing about the encoder, so the same file is then made in memory.
bool CheckWMASupport();

// Whether a path is one of the Windows Media kinds a missing WMA encoder may explain: its
// last three characters are "wma", "asf" or "wmv" in any case.
bool IsWindowsMediaPath(const QString& path);

} // namespace kv
