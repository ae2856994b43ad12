#pragma once

#include <QString>
#include <QStringList>

namespace kv {

// What the language folder offers, in file-name order so the k-th language pairs with the
// k-th flag on every file system.
struct LanguageListing {
    QStringList flagFiles; // full paths of the ".bmp" files (any letter case)
    QStringList languages; // ".ini" file names without their last four characters
};

LanguageListing ListLanguageFolder(const QString& folder);

// The item to select for `languageFile`: the last item whose text followed by ".ini" equals
// it exactly, else the first item; -1 for an empty list.
int SelectLanguageIndex(const QStringList& languages, const QString& languageFile);

// The per-user language choice ("Language"/"Name"), for example "English.ini".
QString ReadLanguageSetting();
void StoreLanguageSetting(const QString& languageFile);

// Resolves LanguageFile from the stored choice; an empty choice becomes "English.ini",
// which is stored back.
void ResolveLanguageFile();

// Right-to-left reading order goes with the Arabic file alone.
bool IsRightToLeftLanguage(const QString& languageFile);

} // namespace kv
