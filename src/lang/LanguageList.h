#pragma once

#include <QString>
#include <QStringList>

namespace kv {

// What the language folder offers, in file-name order so the k-th language pairs with the
// k-th flag on every file system.
struct LanguageListing {
    QStringList flagFiles; // full paths of the ".bmp" files (any letter case)
    QStringList languages; // ".ini" file names without their last four characters
    QStringList files;     // the same files by their real names ("Deutsch.INI")
};

LanguageListing ListLanguageFolder(const QString& folder);

// The item to select for `languageFile`: the last of `files` that equals it exactly, else the
// first; -1 for an empty list.
int SelectLanguageIndex(const QStringList& files, const QString& languageFile);

// The per-user language choice ("Language"/"Name"), for example "English.ini"; empty when
// none is stored or its file is not one the program reads (settings/UserSettings.h). False
// when it could not be stored.
QString ReadLanguageSetting();
bool StoreLanguageSetting(const QString& languageFile);

// Resolves LanguageFile from the stored choice; an empty choice becomes "English.ini",
// which is stored back.
void ResolveLanguageFile();

// Right-to-left reading order goes with the languages written that way (Arabic).
bool IsRightToLeftLanguage(const QString& languageFile);

} // namespace kv
