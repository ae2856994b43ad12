#include "lang/IniReader.h"
#include "lang/Captions.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>

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

TEST(GetCaption, OnlyRegularFilesUpToOneMebibyteAreReadAndNeverHold) {
    kvtest::ProgramFolderFixture fx;
    const QString lang = fx.langFolder() + QLatin1Char('/');
    // The value comes last, so a file read only in part shows.
    const auto sized = [](qint64 size) {
        const QByteArray tail = "\n[Kelvanto]\n10017=Abspielen\n";
        return QByteArray(size - tail.size(), ';') + tail;
    };
    fx.writeFile(QStringLiteral("Lang/AtLimit.ini"), sized(1024 * 1024));
    fx.writeFile(QStringLiteral("Lang/OverLimit.ini"), sized(1024 * 1024 + 1));
    ASSERT_TRUE(QDir().mkpath(lang + QStringLiteral("Folder.ini")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(lang + QStringLiteral("Fifo.ini")).constData(), 0600), 0);
    const struct {
        QString file;
        QString expected;
    } cases[] = {
        {QStringLiteral("AtLimit.ini"), QStringLiteral("Abspielen")},
        {QStringLiteral("OverLimit.ini"), QStringLiteral("Play")},
        {QStringLiteral("Folder.ini"), QStringLiteral("Play")},
        {QStringLiteral("Fifo.ini"), QStringLiteral("Play")},
        {QStringLiteral("/dev/zero"), QStringLiteral("Play")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        SetLanguageFile(c.file);
        QString caption;
        kvtest::WithinSeconds(10, [&] { caption = GetCaption(10017, QStringLiteral("Play")); });
        EXPECT_EQ(caption, c.expected);
        // The tool refuses such a file with the reason.
        EXPECT_EQ(LanguageFileProblem(c.file.startsWith('/') ? c.file : lang + c.file).isEmpty(),
                  c.expected != QStringLiteral("Play"));
    }
    SetLanguageFile(QStringLiteral("English.ini"));
}

TEST(GetCaption, AFileEditedBetweenTwoLookupsGivesItsNewText) {
    kvtest::ProgramFolderFixture fx;
    SetLanguageFile(QStringLiteral("Test.ini"));
    const QString path = fx.langFolder() + QStringLiteral("/Test.ini");
    // Rewritten in place at once, with the same size: the same file, the same length and, on
    // most file systems, the same time stamp.
    for (const char* text : {"Jouer", "Spela", "Spiel"}) {
        fx.writeFile(QStringLiteral("Lang/Test.ini"), QByteArray("[Kelvanto]\n10017=") + text);
        EXPECT_EQ(GetCaption(10017, QStringLiteral("Play")), QString::fromLatin1(text));
    }
    // Replaced by another file.
    fx.writeFile(QStringLiteral("Lang/New.ini"), "[Kelvanto]\n10017=Toista\n");
    ASSERT_TRUE(::rename(QFile::encodeName(fx.langFolder() + "/New.ini").constData(),
                         QFile::encodeName(path).constData()) == 0);
    EXPECT_EQ(GetCaption(10017, QStringLiteral("Play")), QStringLiteral("Toista"));
    SetLanguageFile(QStringLiteral("English.ini"));
}
