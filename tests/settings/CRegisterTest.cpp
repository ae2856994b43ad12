#include "settings/CRegister.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
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
    QByteArray garbage(3000, '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>((i * 7919) % 256);
    const struct {
        const char* name;
        std::function<void()> make;
        const char* read; // sliderWMA as read back
        bool saves;
    } cases[] = {
        {"missing", [&] { QFile::remove(file); }, "d", true},
        {"empty", [&] { QFile(file).open(QIODevice::WriteOnly); }, "d", true},
        {"truncated",
         [&] {
             QFile f(file);
             f.open(QIODevice::WriteOnly);
             f.write("[HKEY_LOCAL_MACHINE\\Software\\Quorvane Kelvanto\\Settings]\n"
                     "sliderWMA=7\nsliderO");
         },
         "7", true},
        {"garbage",
         [&] {
             QFile f(file);
             f.open(QIODevice::WriteOnly);
             f.write(garbage);
         },
         "d", true},
        {"a folder in its place",
         [&] {
             QFile::remove(file);
             QDir().mkpath(file);
         },
         "d", false},
        {"its folder is a file",
         [&] {
             QDir(folder).removeRecursively();
             QFile(folder).open(QIODevice::WriteOnly);
         },
         "d", false},
    };
    for (const auto& c : cases) {
        QDir().mkpath(folder);
        c.make();
        EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "sliderWMA", "d"),
                  QString::fromLatin1(c.read))
            << c.name;
        EXPECT_EQ(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "sliderOGG", "4"),
                  c.saves)
            << c.name;
        if (c.saves) {
            EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "sliderOGG", "d"),
                      QStringLiteral("4"))
                << c.name;
        }
        QFile::remove(folder);
        QDir(file).removeRecursively();
        QFile::remove(file);
    }
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
