#include "lang/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace kv {
namespace {

struct LanguageLocale {
    const char* file;
    const char* locale;
};

// Every language file the program ships, and the locale whose Qt texts go with it.
constexpr LanguageLocale kLocales[] = {
    {"English.ini", ""},  {"Arabic.ini", "ar"},  {"German.ini", "de"},
    {"French.ini", "fr"}, {"Spanish.ini", "es"}, {"Italian.ini", "it"},
};

std::unique_ptr<QTranslator>& installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

} // namespace

QString LocaleOfLanguageFile(const QString& languageFile) {
    for (const LanguageLocale& l : kLocales) {
        if (languageFile.compare(QLatin1String(l.file), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(l.locale);
    }
    return {};
}

bool InstallQtTranslations(const QString& languageFile) {
    if (installed()) {
        QCoreApplication::removeTranslator(installed().get());
        installed().reset();
    }
    const QString locale = LocaleOfLanguageFile(languageFile);
    if (locale.isEmpty())
        return false;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + locale,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed() = std::move(translator);
    return true;
}

} // namespace kv
