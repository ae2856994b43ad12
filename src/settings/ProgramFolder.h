#pragma once

#include <QString>

namespace kv {

// The folder of the executable: Lang/, the manual and bundled encoders are read from here.
QString ProgramFolder();

// Tests point the program at a folder of their own.
void SetProgramFolder(const QString& folder);

// Where the program writes its own files (error log, WMA test file, downloads): the program
// folder when it is writable, else the user's data location.
QString WritableFolder();

} // namespace kv
