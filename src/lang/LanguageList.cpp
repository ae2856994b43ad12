#include "lang/LanguageList.h"

#include "lang/Captions.h"
#include "lang/QtTranslations.h"
#include "settings/UserSettings.h"

#include <QDir>
#include <QLocale>

namespace kv {
namespace {
UserSettings languageSettings() {
    return UserSettings(QStringLiteral("Kelvanto"));
}
const QString kSettingKey = QStringLiteral("Language/Name");
} // namespace

LanguageListing ListLanguageFolder(const QString& folder) {
    LanguageListing listing;
    const QDir dir(folder);
    if (!dir.exists())
        return listing;
    const QStringList names =
        dir.entryList(QDir::Files | QDir::Hidden, QDir::Name); // file-name order, case-sensitive
    for (const QString& name : names) {
        if (name.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive))
            listing.flagFiles.append(dir.filePath(name));
    }
    for (const QString& name : names) {
        if (name.endsWith(QStringLiteral(".ini"), Qt::CaseInsensitive)) {
            listing.languages.append(name.left(name.size() - 4));
            listing.files.append(name);
        }
    }
    return listing;
}

int SelectLanguageIndex(const QStringList& files, const QString& languageFile) {
    if (files.isEmpty())
        return -1;
    int selected = -1;
    for (int i = 0; i < files.size(); ++i) {
        if (files[i] == languageFile)
            selected = i;
    }
    return selected < 0 ? 0 : selected;
}

QString ReadLanguageSetting() {
    return languageSettings().value(kSettingKey).toString();
}

bool StoreLanguageSetting(const QString& languageFile) {
    return languageSettings().setValue(kSettingKey, languageFile);
}

void ResolveLanguageFile() {
    QString name = ReadLanguageSetting();
    if (name.isEmpty()) {
        name = QStringLiteral("English.ini");
        StoreLanguageSetting(name);
    }
    SetLanguageFile(name);
}

bool IsRightToLeftLanguage(const QString& languageFile) {
    const QString locale = LocaleOfLanguageFile(languageFile);
    return !locale.isEmpty() && QLocale(locale).textDirection() == Qt::RightToLeft;
}

} // namespace kv
