// The settings file under the faults a user's machine makes: a file or folder the program may
// not write, the program killed in the middle of a save, and files it must not read.
#include "lang/LanguageList.h"
#include "settings/CRegister.h"
#include "settings/SettingsFile.h"

#include "TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

using namespace kv;

namespace {
QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray sha256Of(const QString& path) {
    return QCryptographicHash::hash(bytesOf(path), QCryptographicHash::Sha256).toHex();
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

TEST_F(SettingsFaults, OnlyRegularFilesUpToTheLimitAreReadAndOthersAreNeverWrittenOver) {
    struct Store {
        QString path;
        QByteArray entry; // the file's text for the value "7"
        std::function<QString()> read;
        std::function<bool()> save; // stores "9"
    };
    const Store stores[] = {
        {kvtest::OutputSettingsFile(),
         "[HKEY_LOCAL_MACHINE\\Software\\Quorvane Kelvanto\\Settings]\nsliderOGG=7\n",
         [&] {
             return reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection, "sliderOGG", "");
         },
         [&] {
             return reg.REGSaveSetting(RegRoot::LocalMachine, kSettingsSection, "sliderOGG", "9");
         }},
        {UserSettingsPath(QStringLiteral("Kelvanto")), "[Language]\nName=7\n", &ReadLanguageSetting,
         [] { return StoreLanguageSetting(QStringLiteral("9")); }},
    };
    enum Kind { AtLimit, OverLimit, Fifo, DevZero, LockFifo };
    const qint64 limit = 16 * 1024 * 1024;
    for (const Store& store : stores) {
        QDir().mkpath(QFileInfo(store.path).absolutePath());
        const QByteArray path = QFile::encodeName(store.path);
        const QByteArray lock = path + ".lock";
        for (const Kind kind : {AtLimit, OverLimit, Fifo, DevZero, LockFifo}) {
            SCOPED_TRACE(store.path.toStdString() + " case " + std::to_string(kind));
            // The value comes last, so a file read only in part shows.
            const qint64 size = kind == AtLimit ? limit : kind == OverLimit ? limit + 1 : 0;
            const bool regular = size > 0 || kind == LockFifo;
            if (regular) {
                QFile f(store.path);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
                f.write(size > 0 ? QByteArray(size - store.entry.size() - 1, ';') + '\n' : "");
                f.write(store.entry);
            }
            if (kind == Fifo || kind == LockFifo) {
                ASSERT_EQ(::mkfifo((kind == Fifo ? path : lock).constData(), 0600), 0);
            }
            if (kind == DevZero) {
                ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), store.path));
            }
            const QByteArray before = regular ? sha256Of(store.path) : QByteArray();

            QString value;
            bool saved = true;
            kvtest::WithinSeconds(10, [&] {
                value = store.read();
                saved = store.save();
            });
            const bool readable = kind == AtLimit || kind == LockFifo;
            EXPECT_EQ(value, readable ? QStringLiteral("7") : QString());
            EXPECT_EQ(saved, kind == AtLimit);
            if (kind == AtLimit) {
                EXPECT_EQ(store.read(), QStringLiteral("9"));
            } else if (regular) {
                EXPECT_EQ(sha256Of(store.path), before);
            } else {
                EXPECT_FALSE(QFileInfo(store.path).isFile()); // neither replaced nor written
            }
            ::unlink(path.constData());
            ::unlink(lock.constData());
        }
    }
}
