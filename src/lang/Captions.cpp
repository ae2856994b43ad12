#include "lang/Captions.h"

#include "lang/IniReader.h"
#include "settings/ProgramFolder.h"

namespace kv {
namespace {
QString& currentLanguageFile() {
    static QString name = QStringLiteral("English.ini");
    return name;
}
} // namespace

QString LanguageFile() {
    return currentLanguageFile();
}

void SetLanguageFile(const QString& fileName) {
    currentLanguageFile() = fileName;
}

QString LanguageFolder() {
    return ProgramFolder() + QStringLiteral("/Lang/");
}

QString GetCaption(const QString& key, const QString& defaultText) {
    const QString file = LanguageFile();
    // No file: the built-in English texts. A full path names a file outside the folder.
    if (file.isEmpty())
        return defaultText.trimmed();
    const QString path = file.startsWith(QLatin1Char('/')) ? file : LanguageFolder() + file;
    return ReadIniValue(path, QStringLiteral("Kelvanto"), key, defaultText).trimmed();
}

QString GetCaption(int key, const QString& defaultText) {
    return GetCaption(QString::number(key), defaultText);
}

} // namespace kv
