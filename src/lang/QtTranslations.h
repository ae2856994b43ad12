#pragma once

#include <QString>

namespace kv {

// The locale of a shipped language file ("German.ini" -> "de"), with no regard to the letter
// case of the name; empty for English and for files the program does not know.
QString LocaleOfLanguageFile(const QString& languageFile);

// Loads Qt's own translations for the language of `languageFile` (the buttons of message
// boxes, the file dialogs) in place of the ones loaded before. False when there are none for
// it: Qt's texts are then English.
bool InstallQtTranslations(const QString& languageFile);

} // namespace kv
