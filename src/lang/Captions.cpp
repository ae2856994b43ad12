#include "lang/Captions.h"

#include "lang/IniReader.h"
#include "settings/ProgramFolder.h"
#include "settings/RegularFile.h"

#include <mutex>

namespace kv {
namespace {
// Captions are looked up from worker threads too.
std::mutex languageMutex;
QString& currentLanguageFile() {
    static QString name = QStringLiteral("English.ini");
    return name;
}
} // namespace

QString LanguageFile() {
    const std::lock_guard lock(languageMutex);
    return currentLanguageFile();
}

void SetLanguageFile(const QString& fileName) {
    const std::lock_guard lock(languageMutex);
    currentLanguageFile() = fileName;
}

QString LanguageFileProblem(const QString& path) {
    // Read through the descriptor that was checked, so a file that cannot be read says so too.
    const RegularFileRead r = ReadRegularFile(path, kMaxLanguageFileBytes);
    return FileStateText(r.state, r.error);
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
