#pragma once

#include <QString>

namespace kv {

// The folder the program reads Lang/, the manual and bundled encoders from: the folder of the
// executable when those lie beside it (the build tree), else the installed data folder
// (<prefix>/share/kelvanto for a program in <prefix>/bin).
QString ProgramFolder();

// The same for an executable in `executableDir`.
QString ProgramFolderFor(const QString& executableDir);

// Tests point the program at a folder of their own.
void SetProgramFolder(const QString& folder);

// Where the program writes its own files (error log, WMA test file, downloads): the program
// folder when it is writable and not an installed data folder, else the user's data location.
QString WritableFolder();

// The manual in the program folder, opened in the desktop's browser.
QString HelpFilePath();

} // namespace kv
