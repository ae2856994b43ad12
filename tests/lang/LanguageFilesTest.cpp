// Checks the shipped language files and flags in data/Lang.
#include "lang/CaptionTable.h"
#include "lang/Captions.h"
#include "lang/IniReader.h"
#include "lang/LanguageList.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QSet>
#include <QStringDecoder>

#include <gtest/gtest.h>

using namespace kv;

namespace {

constexpr int kFlagWidth = 24;
constexpr int kFlagHeight = 16;

QString langFolder() {
    return kvtest::SourceDataFolder() + QStringLiteral("/Lang");
}

QString iniPath(const QString& language) {
    return langFolder() + QLatin1Char('/') + language + QStringLiteral(".ini");
}

// Every key the program looks up, once, with its default as the program shows it (trimmed).
QMap<QString, QString> expectedKeys() {
    QMap<QString, QString> keys;
    for (const CaptionEntry& e : CaptionTable())
        keys.insert(QString::number(e.key), QString::fromUtf8(e.defaultText).trimmed());
    for (const MessageKey& m : MessageKeys())
        keys.insert(QString::number(m.key), QString::fromUtf8(m.defaultText).trimmed());
    return keys;
}

// A value no language file contains, so a missing key shows as this.
const QString kMissing = QStringLiteral("\x01missing\x01");

QString value(const QString& language, const QString& key) {
    return ReadIniValue(iniPath(language), QStringLiteral("Kelvanto"), key, kMissing);
}

QStringList shippedLanguages() {
    return ListLanguageFolder(langFolder()).languages;
}

struct RawFile {
    bool validUtf8 = false;
    QStringList sections;
    QStringList keys; // in file order, duplicates kept
};

RawFile readRaw(const QString& path) {
    RawFile raw;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return raw;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(f.readAll());
    raw.validUtf8 = !decoder.hasError();
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'['))
            raw.sections.append(line);
        else
            raw.keys.append(line.section(u'=', 0, 0).trimmed());
    }
    return raw;
}

} // namespace

TEST(LanguageFiles, ShippedSetHasEnglishAndTranslations) {
    const QStringList langs = shippedLanguages();
    for (const char* name : {"English", "Arabic", "German", "French", "Spanish"})
        EXPECT_TRUE(langs.contains(QString::fromLatin1(name))) << name;
    EXPECT_GE(langs.size(), 6) << langs.join(u',').toStdString();
}

TEST(LanguageFiles, EveryFileIsUtf8WithOneSectionAndExactlyTheProgramsKeys) {
    const QMap<QString, QString> expected = expectedKeys();
    for (const QString& lang : shippedLanguages()) {
        SCOPED_TRACE(lang.toStdString());
        const RawFile raw = readRaw(iniPath(lang));
        EXPECT_TRUE(raw.validUtf8);
        EXPECT_EQ(raw.sections, QStringList{QStringLiteral("[Kelvanto]")});
        // A stray or doubled key is a typo: the reader would silently take the first one.
        QSet<QString> seen;
        for (const QString& key : raw.keys) {
            EXPECT_TRUE(expected.contains(key)) << "unknown key " << key.toStdString();
            EXPECT_FALSE(seen.contains(key)) << "doubled key " << key.toStdString();
            seen.insert(key);
        }
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const QString v = value(lang, it.key());
            EXPECT_NE(v, kMissing) << "missing key " << it.key().toStdString();
            EXPECT_FALSE(v.isEmpty()) << "empty key " << it.key().toStdString();
            EXPECT_FALSE(v.contains(QChar::ReplacementCharacter)) << it.key().toStdString();
        }
    }
}

TEST(LanguageFiles, EnglishFileMatchesTheProgramsDefaults) {
    const QMap<QString, QString> expected = expectedKeys();
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        EXPECT_EQ(value(QStringLiteral("English"), it.key()).toStdString(),
                  it.value().toStdString())
            << it.key().toStdString();
}

TEST(LanguageFiles, MarkersAndProductNamesSurviveTranslation) {
    const QStringList products{QStringLiteral("Kelvanto"), QStringLiteral("Windows Media Format"),
                               QStringLiteral("Windows Media Player"), QStringLiteral("Microsoft"),
                               QStringLiteral("WMA"), QStringLiteral("VBR"),
                               // Numbers filled in when the text is shown.
                               QStringLiteral("%1"), QStringLiteral("%2")};
    const QMap<QString, QString> expected = expectedKeys();
    for (const QString& lang : shippedLanguages()) {
        SCOPED_TRACE(lang.toStdString());
        // A doubled ampersand shows as one on the button; a single one would become a mnemonic.
        EXPECT_TRUE(value(lang, QStringLiteral("10014")).contains(QStringLiteral("&&")));
        // The playback error appends the code and a closing parenthesis.
        EXPECT_TRUE(value(lang, QStringLiteral("30006")).startsWith(u'('));
        // The asterisk points at the restart note 10048, which starts with one too.
        EXPECT_TRUE(value(lang, QStringLiteral("10013")).endsWith(QStringLiteral(" *")));
        EXPECT_TRUE(value(lang, QStringLiteral("10015")).endsWith(QStringLiteral(" *")));
        EXPECT_TRUE(value(lang, QStringLiteral("10048")).startsWith(QStringLiteral("* ")));
        EXPECT_EQ(value(lang, QStringLiteral("100024")), QStringLiteral("Kelvanto"));
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            const QString v = value(lang, it.key());
            for (const QString& p : products) {
                if (it.value().contains(p)) {
                    EXPECT_TRUE(v.contains(p))
                        << it.key().toStdString() << " lost " << p.toStdString();
                }
            }
        }
    }
}

TEST(LanguageFiles, ArabicTextsReadRightToLeft) {
    const QMap<QString, QString> expected = expectedKeys();
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (it.key() == QStringLiteral("100024")) // the product name stays as it is
            continue;
        EXPECT_TRUE(value(QStringLiteral("Arabic"), it.key()).isRightToLeft())
            << it.key().toStdString();
    }
    EXPECT_FALSE(value(QStringLiteral("English"), QStringLiteral("10010")).isRightToLeft());
}

TEST(LanguageFiles, EveryLanguageGetsItsOwnFlag) {
    const LanguageListing listing = ListLanguageFolder(langFolder());
    // The picker pairs the k-th language with the k-th flag.
    ASSERT_EQ(listing.flagFiles.size(), listing.languages.size());
    QSet<QByteArray> seenPixels;
    for (qsizetype k = 0; k < listing.languages.size(); ++k) {
        SCOPED_TRACE(listing.languages[k].toStdString());
        const QFileInfo flag(listing.flagFiles[k]);
        EXPECT_EQ(flag.completeBaseName().toStdString(), listing.languages[k].toStdString());
        EXPECT_EQ(flag.suffix(), QStringLiteral("bmp"));
        const QImage image(flag.filePath());
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(kFlagWidth, kFlagHeight));
        const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
        const QByteArray pixels(reinterpret_cast<const char*>(rgb.constBits()), rgb.sizeInBytes());
        EXPECT_FALSE(seenPixels.contains(pixels)) << "same picture as another flag";
        seenPixels.insert(pixels);
    }
}

TEST(LanguageFiles, LookupsThroughTheProgramFolderReturnTheTranslation) {
    kvtest::ProgramFolderFixture fx;
    fx.copyShippedLanguages();
    SetLanguageFile(QStringLiteral("German.ini"));
    EXPECT_EQ(GetCaption(10009, QStringLiteral("Close")),
              value(QStringLiteral("German"), QStringLiteral("10009")));
    EXPECT_NE(GetCaption(10009, QStringLiteral("Close")), QStringLiteral("Close"));
    SetLanguageFile(QStringLiteral("English.ini"));
    EXPECT_EQ(GetCaption(10024, QStringLiteral("   - Add Audio or Video Files/Folders")),
              QStringLiteral("- Add Audio or Video Files/Folders"));
}

TEST(LanguageFiles, BuildCopiesThemBesideTheProgram) {
    const QDir src(langFolder());
    const QDir built(QStringLiteral(KV_PROGRAM_DIR "/Lang"));
    const QStringList names = src.entryList({"*.ini", "*.bmp"}, QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        QFile a(src.filePath(name)), b(built.filePath(name));
        ASSERT_TRUE(a.open(QIODevice::ReadOnly)) << name.toStdString();
        ASSERT_TRUE(b.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(a.readAll(), b.readAll()) << name.toStdString();
    }
}
