#pragma once

#include <QString>

namespace kv {

// The current language file's name with its extension, for example "English.ini"; a full
// path for a file outside the language folder; empty for the built-in English texts.
QString LanguageFile();
void SetLanguageFile(const QString& fileName);

// The program folder followed by "/Lang/".
QString LanguageFolder();

// Why the language file at `path` cannot be read ("No such file or directory", "Is a
// directory", "File too large"); empty when it can. Never waits on a FIFO or a device.
QString LanguageFileProblem(const QString& path);

// The text of a caption key in the current language file, trimmed; `defaultText` (trimmed
// too) when the file or the key is missing. Every call sees the file as it is
// now. Safe to call from any thread.
QString GetCaption(const QString& key, const QString& defaultText);
QString GetCaption(int key, const QString& defaultText);

} // namespace kv
