#include "lang/IniReader.h"
#include "lang/Captions.h"

#include "TestSupport.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace kv;

namespace {
QString iniValue(const kvtest::ProgramFolderFixture& fx, const QByteArray& content,
                 const QString& key, const QString& def = QStringLiteral("DEF")) {
    fx.writeFile(QStringLiteral("t.ini"), content);
    return ReadIniValue(fx.path() + QStringLiteral("/t.ini"), QStringLiteral("Kelvanto"), key, def);
}
} // namespace

TEST(IniReader, ValuesAreTrimmedAndKeysMatchWithoutCase) {
    kvtest::ProgramFolderFixture fx;
    const QByteArray ini = "; comment\n[kelvanto]\n  10001 =   Select all  \r\nAbc=x\n";
    EXPECT_EQ(iniValue(fx, ini, QStringLiteral("10001")), QStringLiteral("Select all"));
    EXPECT_EQ(iniValue(fx, ini, QStringLiteral("ABC")), QStringLiteral("x"));
}

TEST(IniReader, MissingFileSectionOrKeyGivesDefaultButEmptyValueStaysEmpty) {
    kvtest::ProgramFolderFixture fx;
    EXPECT_EQ(ReadIniValue(fx.path() + "/none.ini", "Kelvanto", "1", "DEF"), QStringLiteral("DEF"));
    EXPECT_EQ(iniValue(fx, "[Other]\n1=a\n", "1"), QStringLiteral("DEF"));
    EXPECT_EQ(iniValue(fx, "[Kelvanto]\n2=a\n", "1"), QStringLiteral("DEF"));
    EXPECT_EQ(iniValue(fx, "[Kelvanto]\n1=\n", "1"), QString());
    EXPECT_EQ(iniValue(fx, "[Kelvanto]\n1=   \n", "1"), QString());
    // A key of a later section with the same name is not ours.
    EXPECT_EQ(iniValue(fx, "[Kelvanto]\n2=a\n[Next]\n1=b\n", "1"), QStringLiteral("DEF"));
}

TEST(IniReader, LongValuesAreCutTo499Characters) {
    kvtest::ProgramFolderFixture fx;
    const QByteArray longValue(600, 'x');
    const QString v = iniValue(fx, "[Kelvanto]\n1=" + longValue + "\n", "1");
    EXPECT_EQ(v.size(), 499);
    const QByteArray exact(499, 'y');
    EXPECT_EQ(iniValue(fx, "[Kelvanto]\n1=" + exact + "\n", "1").size(), 499);
}

TEST(IniReader, ReadsUtf8WithOrWithoutByteOrderMark) {
    kvtest::ProgramFolderFixture fx;
    const QByteArray arabic = "\xD8\xA5\xD8\xB6\xD8\xA7\xD9\x81\xD8\xA9"; // "addition"
    EXPECT_EQ(iniValue(fx, "\xEF\xBB\xBF[Kelvanto]\n1=" + arabic + "\n", "1"),
              QString::fromUtf8(arabic));
    EXPECT_EQ(iniValue(fx,
                       "[Kelvanto]\n1=Gr\xC3\xB6\xC3\x9F"
                       "e\n",
                       "1"),
              QString::fromUtf8("Gr\xC3\xB6\xC3\x9F"
                                "e"));
}

TEST(GetCaption, ReadsCurrentLanguageFileAnewAndTrimsDefaults) {
    kvtest::ProgramFolderFixture fx;
    SetLanguageFile(QStringLiteral("Test.ini"));
    EXPECT_EQ(GetCaption(10017, QStringLiteral("  Play ")), QStringLiteral("Play"));
    fx.writeFile(QStringLiteral("Lang/Test.ini"), "[Kelvanto]\n10017=Abspielen\n");
    EXPECT_EQ(GetCaption(QStringLiteral("10017"), QStringLiteral("Play")),
              QStringLiteral("Abspielen"));
    fx.writeFile(QStringLiteral("Lang/Test.ini"), "[Kelvanto]\n10017=Jouer\n");
    EXPECT_EQ(GetCaption(10017, QStringLiteral("Play")), QStringLiteral("Jouer"));
    SetLanguageFile(QStringLiteral("English.ini"));
}

TEST(IniReader, EncodingsQuotesAndLineEnds) {
    kvtest::ProgramFolderFixture fx;
    const QString german = QString::fromUtf8("Ordner hinzuf\xC3\xBCgen");
    const auto utf16 = [&](QStringConverter::Encoding e) -> QByteArray {
        return QStringEncoder(e, QStringConverter::Flag::WriteBom)("[Kelvanto]\r\n1=" + german);
    };
    const struct {
        QByteArray file;
        QString expected;
    } cases[] = {
        {"[Kelvanto]\n1=\"  Play \"\n", QStringLiteral("  Play ")},
        {"[Kelvanto]\n1=Say \"hi\" now\n", QStringLiteral("Say \"hi\" now")},
        {"[Kelvanto]\n1=\"\n", QStringLiteral("\"")},
        {"[Kelvanto]\n1=\"\"\n", QString()},
        {utf16(QStringConverter::Utf16LE), german},
        {utf16(QStringConverter::Utf16BE), german},
        {"[Kelvanto]\n1=Gr\xF6\xDF"
         "e \x80 \x93ok\x94\n",
         QString::fromUtf8("Gr\xC3\xB6\xC3\x9F"
                           "e \xE2\x82\xAC \xE2\x80\x9Cok\xE2\x80\x9D")},
        {"[Other]\r1=no\r[Kelvanto]\r2=x\r1=yes", QStringLiteral("yes")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(iniValue(fx, c.file, QStringLiteral("1")), c.expected) << c.file.toStdString();
}
