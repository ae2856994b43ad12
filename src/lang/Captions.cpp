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
    return ReadIniValue(LanguageFolder() + LanguageFile(), QStringLiteral("Kelvanto"), key,
                        defaultText)
        .trimmed();
}

QString GetCaption(int key, const QString& defaultText) {
    return GetCaption(QString::number(key), defaultText);
}

} // namespace kv
