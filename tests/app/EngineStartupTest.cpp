// The audio engine at window start-up and close: the output device of the test sound server,
// the boxes of a device failure, WMATagNames, the release.
#include "MediaTools.h"
#include "TestSupport.h"
#include "app/frmMain.h"
#include "engine/AudioEngine.h"
#include "engine/AudioError.h"
#include "engine/Decoders.h"

#include <QCheckBox>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>


using namespace kv;
using namespace kvtest;

namespace {
const char* const kNoServerHint = "no output device: run the tests through scripts/run-tests.sh, "
                                  "which starts a PulseAudio null sink";

// Every test begins and ends with the engine released, whatever ran before it.
class EngineStart : public ::testing::Test {
protected:
    void SetUp() override { ReleaseAudioEngine(); }
    void TearDown() override { ReleaseAudioEngine(); }
};
} // namespace

TEST_F(EngineStart, OpensTheDeviceOnceAndReleasesIt) {
    EXPECT_FALSE(AudioEngineStarted());

    const EngineStartResult first = InitAudioEngine();
    ASSERT_EQ(first.code, kAudioOk) << kNoServerHint;
    EXPECT_FALSE(first.fatal);
    EXPECT_TRUE(first.text.isEmpty());
    EXPECT_TRUE(AudioEngineStarted());
    EXPECT_FALSE(AudioOutputDevice().isNull());
    ASSERT_EQ(WMATagNames().size(), 8);
    EXPECT_EQ(WMATagNames()[0], QStringLiteral("Title"));
    EXPECT_EQ(WMATagNames()[2], QStringLiteral("WM/AlbumTitle"));
    EXPECT_EQ(WMATagNames()[7], QStringLiteral("WM/Year"));
    EXPECT_EQ(RegisteredDecoders().value(0), QStringLiteral("FFmpeg"));

    const EngineStartResult again = InitAudioEngine();
    EXPECT_EQ(again.code, kAudioErrorAlready);
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorAlready);
    EXPECT_FALSE(again.fatal);
    EXPECT_EQ(again.text, QStringLiteral("Error: Couldn't Initialize Digital Output.\r\n"
                                         "Error Code:BASS_ERROR_ALREADY"));
    EXPECT_TRUE(AudioEngineStarted());

    ReleaseAudioEngine();
    EXPECT_FALSE(AudioEngineStarted());
    EXPECT_TRUE(AudioOutputDevice().isNull());
    EXPECT_EQ(AudioErrorGetCode(), kAudioOk);
    EXPECT_TRUE(RegisteredDecoders().isEmpty());
    ReleaseAudioEngine();
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorInit);
}

TEST_F(EngineStart, WindowStartsItAddsFilesAndReleasesItAtClose) {
    ProgramFolderFixture folder;
    folder.copyShippedLanguages();
    RecordingMessageBoxes boxes;
    QTemporaryDir dir;
    {
        frmMain w;
        ASSERT_TRUE(w.load()) << kNoServerHint;
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_TRUE(AudioEngineStarted());
        EXPECT_FALSE(w.bLoading);

        QString tone = dir.filePath(QStringLiteral("tone.wav"));
        ASSERT_TRUE(MakeSine(tone, 1.2, 8000, 1, {}));
        w.chkSelectAll->setChecked(true);
        ASSERT_TRUE(w.AddFile2Grid(tone));
        EXPECT_FALSE(w.chkSelectAll->isChecked());
        EXPECT_EQ(w.fileList()->row(0).Duration, QStringLiteral("00:01"));

        QString gone = dir.filePath(QStringLiteral("gone.mp3"));
        EXPECT_FALSE(w.AddFile2Grid(gone));
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
        EXPECT_TRUE(
            boxes.shown[0].text.startsWith(QStringLiteral("An error occured while Adding File\r")));
        EXPECT_EQ(w.fileList()->rowCount(), 1);

        w.show();
        w.close();
        EXPECT_FALSE(AudioEngineStarted());
    }
}

TEST_F(EngineStart, AlreadyStartedShowsTheTwoLineBoxAndGoesOn) {
    ProgramFolderFixture folder;
    folder.copyShippedLanguages();
    RecordingMessageBoxes boxes;
    ASSERT_EQ(InitAudioEngine().code, kAudioOk) << kNoServerHint;
    frmMain w;
    EXPECT_TRUE(w.load());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Digital output"));
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Error: Couldn't Initialize Digital Output.\r\n"
                                                  "Error Code:BASS_ERROR_ALREADY"));
    EXPECT_FALSE(w.bLoading);
    EXPECT_FALSE(RegisteredDecoders().isEmpty());
    ReleaseAudioEngine();
}

// Start-up in a fresh process that has no sound server.
TEST_F(EngineStart, WithoutASoundServerTheDeviceBoxEndsStartUp) {
    PrivateHome home;
    home.env.insert(QStringLiteral("PULSE_SERVER"),
                    QStringLiteral("unix:") + home.filePath(QStringLiteral("no-server")));
    QProcess child;
    home.start(child, QStringLiteral(KV_STARTUP_WITHOUT_SOUND), {});
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    // Before start-up the tag names are empty, and a failed start leaves them so.
    for (const char* line : {"TAGS BEFORE 0\n", "LOAD 0\n", "LOADING 1\n", "STARTED 0\n",
                             "CLOSED 0\n", "TAGS AFTER 0\n"})
        EXPECT_TRUE(out.contains(QLatin1String(line))) << line << out.toStdString();
    const QString box = QStringLiteral("BOX %1|Initialaization Error|Error: Couldn't Initialize "
                                       "Digital Output, The program will not work correclty.\\r\\n"
                                       "The sound device may not be installed correclty.\\r\\n"
                                       "Error Code:BASS_ERROR_DEVICE\n")
                            .arg(int(MsgIcon::Critical));
    EXPECT_EQ(out.count(QStringLiteral("BOX ")), 1) << out.toStdString();
    EXPECT_TRUE(out.contains(box)) << out.toStdString();

    // Only the language choice, made before the engine starts, is in the settings.
    QDirIterator it(home.config() + QStringLiteral("/Kelvanto"), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    int languageChoices = 0;
    while (it.hasNext()) {
        QFile f(it.next());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        SCOPED_TRACE(f.fileName().toStdString());
        languageChoices += text.count(QStringLiteral("Name=English.ini"));
        QString rest = text;
        rest.remove(QStringLiteral("[Language]")).remove(QStringLiteral("Name=English.ini"));
        EXPECT_TRUE(rest.trimmed().isEmpty()) << text.toStdString();
    }
    EXPECT_EQ(languageChoices, 1);
}
