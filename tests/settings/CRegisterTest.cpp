#include "settings/CRegister.h"

#include "TestSupport.h"

#include <QSettings>

#include <gtest/gtest.h>

using namespace kv;

namespace {
class Store : public ::testing::Test {
protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear() {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, "Kelvanto", "Settings");
        s.clear();
        s.sync();
    }
    CRegister reg;
};
} // namespace

TEST_F(Store, MissingValuesAndSectionsGiveTheDefault) {
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "optFileFormat", "2"),
              QStringLiteral("2"));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, "Software\\Nobody", "x", "d"),
              QStringLiteral("d"));
}

TEST_F(Store, NamesMatchWithoutCaseAndSectionsWithoutOuterSeparators) {
    ASSERT_TRUE(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "cmbOGGvBitrate", "4"));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "cmbOGGVBitrate", "6"),
              QStringLiteral("4"));
    ASSERT_TRUE(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "CMBOGGVBITRATE", "5"));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "cmboggvbitrate", "6"),
              QStringLiteral("5"));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, "\\" + kSettingsSection + "\\",
                                "cmbOGGVBitrate", "6"),
              QStringLiteral("5"));
    // The other root is another place.
    EXPECT_EQ(reg.REGGetSetting(RegRoot::CurrentUser, kSettingsSection, "cmbOGGVBitrate", "6"),
              QStringLiteral("6"));
}

TEST_F(Store, EmptyTextReadsBackAsTheDefaultAndStarIsTheUnnamedValue) {
    ASSERT_TRUE(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "txtOutPath", ""));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "txtOutPath", "dflt"),
              QStringLiteral("dflt"));
    ASSERT_TRUE(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "*", "unnamed"));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "*", ""),
              QStringLiteral("unnamed"));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "other", "o"),
              QStringLiteral("o"));
    // Texts with separators, quotes and non-ASCII characters survive.
    const QString odd = QString::fromUtf8("/home/é \"q\" ; = # [x]\\y");
    ASSERT_TRUE(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "txtOutPath", odd));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "txtOutPath", ""), odd);
}

TEST_F(Store, DeletingAValueOrTheWholeSection) {
    reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "a", "1");
    reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "b", "2");
    EXPECT_TRUE(reg.REGDeleteSetting(RegRoot::LocalMachine, kSettingsSection, "A"));
    EXPECT_FALSE(reg.REGDeleteSetting(RegRoot::LocalMachine, kSettingsSection, "a"));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "a", "d"),
              QStringLiteral("d"));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "b", "d"),
              QStringLiteral("2"));
    EXPECT_TRUE(reg.REGDeleteSetting(RegRoot::LocalMachine, kSettingsSection, ""));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "b", "d"),
              QStringLiteral("d"));
}
