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
    // The files keep their real names, capitals included.
    EXPECT_EQ(l.files, (QStringList{"Arabic.ini", "FRENCH.INI", "German.ini"}));
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
    const QStringList files{"Arabic.ini", "English.ini", "Deutsch.INI"};
    EXPECT_EQ(SelectLanguageIndex(files, QStringLiteral("English.ini")), 1);
    EXPECT_EQ(SelectLanguageIndex(files, QStringLiteral("english.ini")), 0);
    EXPECT_EQ(SelectLanguageIndex(files, QStringLiteral("Gone.ini")), 0);
    EXPECT_EQ(SelectLanguageIndex(files, QStringLiteral("Deutsch.INI")), 2);
    EXPECT_EQ(SelectLanguageIndex(files, QStringLiteral("Deutsch.ini")), 0);
    EXPECT_EQ(SelectLanguageIndex({"A.ini", "B.ini", "A.ini"}, QStringLiteral("A.ini")), 2);
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
