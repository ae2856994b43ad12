#include "settings/CRegister.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace kv;

namespace {
class Store : public ::testing::Test {
protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear() { kvtest::ClearUserSettings(); }
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

namespace {
QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST_F(Store, BadFilesReadAsDefaultsAndNeverCrash) {
    const QString file = kvtest::OutputSettingsFile();
    const QString folder = QFileInfo(file).absolutePath();
    QByteArray garbage;
    for (int i = 0; i < 3000; ++i)
        garbage += static_cast<char>((i * 7919) % 256);
    enum Kind { Missing, Bytes, FolderInItsPlace, ItsFolderIsAFile };
    const struct {
        Kind kind;
        QByteArray bytes;
        const char* read; // sliderWMA as read back
    } cases[] = {
        {Missing, {}, "d"},
        {Bytes, {}, "d"},
        {Bytes, "[HKEY_LOCAL_MACHINE\\Software\\Quorvane Kelvanto\\Settings]\nsliderWMA=7\nslid",
         "7"},
        {Bytes, garbage, "d"},
        {FolderInItsPlace, {}, "d"},
        {ItsFolderIsAFile, {}, "d"},
    };
    for (const auto& c : cases) {
        QDir(folder).removeRecursively();
        QFile::remove(folder);
        if (c.kind == ItsFolderIsAFile) {
            QFile(folder).open(QIODevice::WriteOnly);
        } else {
            QDir().mkpath(c.kind == FolderInItsPlace ? file : folder);
            QFile f(file);
            if (c.kind == Bytes && f.open(QIODevice::WriteOnly))
                f.write(c.bytes);
        }
        const bool saves = c.kind == Missing || c.kind == Bytes;
        EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "sliderWMA", "d"),
                  QString::fromLatin1(c.read));
        EXPECT_EQ(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "sliderOGG", "4"),
                  saves);
        EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "sliderOGG", "d"),
                  saves ? QStringLiteral("4") : QStringLiteral("d"));
    }
    QFile::remove(folder);
}

TEST_F(Store, AFailedSaveLeavesTheFileAsItWas) {
    ASSERT_TRUE(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "txtOutPath", "/old"));
    const QByteArray before = fileBytes(kvtest::OutputSettingsFile());
    ASSERT_FALSE(before.isEmpty());
    // Past this file size the disk refuses to write (root included).
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved1 = reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "txtOutPath",
                                           QString(4000, QLatin1Char('n')));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved1);
    EXPECT_EQ(fileBytes(kvtest::OutputSettingsFile()), before);
    // Nothing to delete is no success.
    EXPECT_FALSE(reg.REGDeleteSetting(RegRoot::LocalMachine, "Software\\Nobody", ""));
}
