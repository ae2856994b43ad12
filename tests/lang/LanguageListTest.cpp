#include "lang/LanguageList.h"
#include "lang/Captions.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kv;

TEST(LanguageList, ListsFlagsAndLanguagesInFileNameOrder) {
    kvtest::ProgramFolderFixture fx;
    for (const char* n : {"Lang/German.ini", "Lang/Arabic.ini", "Lang/FRENCH.INI", "Lang/b.BMP",
                          "Lang/a.bmp", "Lang/readme.txt", "Lang/c.bmp"})
        fx.writeFile(QString::fromLatin1(n), "[Kelvanto]\n");
    const LanguageListing l = ListLanguageFolder(fx.langFolder());
    EXPECT_EQ(l.languages, (QStringList{"Arabic", "FRENCH", "German"}));
    ASSERT_EQ(l.flagFiles.size(), 3);
    EXPECT_TRUE(l.flagFiles[0].endsWith("/a.bmp"));
    EXPECT_TRUE(l.flagFiles[1].endsWith("/b.BMP"));
    EXPECT_TRUE(l.flagFiles[2].endsWith("/c.bmp"));
}

TEST(LanguageList, MissingFolderListsNothing) {
    const LanguageListing l = ListLanguageFolder(QStringLiteral("/nonexistent/kelvanto/Lang"));
    EXPECT_TRUE(l.languages.isEmpty());
    EXPECT_TRUE(l.flagFiles.isEmpty());
}

TEST(LanguageList, SelectionIsExactLastMatchElseFirst) {
    const QStringList langs{"Arabic", "English", "German"};
    EXPECT_EQ(SelectLanguageIndex(langs, QStringLiteral("English.ini")), 1);
    EXPECT_EQ(SelectLanguageIndex(langs, QStringLiteral("english.ini")), 0);
    EXPECT_EQ(SelectLanguageIndex(langs, QStringLiteral("Gone.ini")), 0);
    EXPECT_EQ(SelectLanguageIndex({"A", "B", "A"}, QStringLiteral("A.ini")), 2);
    EXPECT_EQ(SelectLanguageIndex({}, QStringLiteral("A.ini")), -1);
}

TEST(LanguageList, EmptyChoiceBecomesEnglishAndIsStored) {
    kvtest::ProgramFolderFixture fx;
    EXPECT_TRUE(ReadLanguageSetting().isEmpty());
    SetLanguageFile(QStringLiteral("Other.ini"));
    ResolveLanguageFile();
    EXPECT_EQ(LanguageFile(), QStringLiteral("English.ini"));
    EXPECT_EQ(ReadLanguageSetting(), QStringLiteral("English.ini"));

    StoreLanguageSetting(QStringLiteral("German.ini"));
    ResolveLanguageFile();
    EXPECT_EQ(LanguageFile(), QStringLiteral("German.ini"));
    SetLanguageFile(QStringLiteral("English.ini"));
}
