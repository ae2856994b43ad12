// The settings file under the faults a user's machine makes: a file or folder the program may
// not write, and the program killed in the middle of a save.
#include "settings/CRegister.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace kv;

namespace {
QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SettingsFaults : public ::testing::Test {
protected:
    void SetUp() override { kvtest::ClearUserSettings(); }
    void TearDown() override {
        const QString file = kvtest::OutputSettingsFile();
        QFile::setPermissions(QFileInfo(file).absolutePath(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        kvtest::ClearUserSettings();
    }
    CRegister reg;
};
} // namespace

TEST_F(SettingsFaults, ReadOnlyFileOrFolderKeepsWhatWasSavedAndSaysSo) {
    const QString file = kvtest::OutputSettingsFile();
    const QString folder = QFileInfo(file).absolutePath();
    for (const bool lockFolder : {false, true}) {
        SCOPED_TRACE(lockFolder ? "read-only folder" : "read-only file");
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "sliderOGG", "3"));
        const QByteArray before = bytesOf(file);
        QFile::setPermissions(file, QFile::ReadOwner);
        if (lockFolder)
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        kvtest::RunWithoutFileOverrides([&] {
            EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "sliderOGG", "d"),
                      "3");
            // A read-only file in a writable folder is replaced as a whole, as any editor
            // saving it would; a locked folder refuses.
            EXPECT_EQ(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "sliderOGG", "9"),
                      !lockFolder);
        });
        if (lockFolder) {
            EXPECT_EQ(bytesOf(file), before);
        }
        EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "sliderOGG", "d"),
                  lockFolder ? "3" : "9");
    }
}

TEST_F(SettingsFaults, KilledDuringASaveLeavesTheOldFileOrTheNewOneWhole) {
    const QString file = kvtest::OutputSettingsFile();
    // Big values make a save long enough that most kills land inside one.
    const QString big[2] = {QString(300000, QLatin1Char('a')), QString(200000, QLatin1Char('b'))};
    ASSERT_TRUE(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "txtOutPath", big[0]));
    CRegister own; // the saving child's own store
    for (int round = 0; round < 20; ++round) {
        // Saves without end, killed during a save after the first few.
        ASSERT_TRUE(kvtest::KilledMidLoop(round % 3, [&](int i) {
            own.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "txtOutPath", big[i % 2]);
            return true;
        })) << "round " << round;
        const QString value =
            reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "txtOutPath", "lost");
        EXPECT_TRUE(value == big[0] || value == big[1])
            << "round " << round << ": " << value.size() << " characters";
    }
    // The next save works and a left-over temporary file does not stand in its way.
    EXPECT_TRUE(reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "txtOutPath", "/x"));
    EXPECT_EQ(reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "txtOutPath", "d"), "/x");
}
