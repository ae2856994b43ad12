// The error-text table, the device-failure boxes and the per-thread error code.
#include "engine/AudioEngine.h"
#include "engine/AudioError.h"

#include <QSet>

#include <gtest/gtest.h>

#include <thread>

using namespace kv;

TEST(GetAudioErrorText, GivesTheDescribedTexts) {
    const std::pair<int, const char*> described[] = {
        {0, "All is OK"},
        {1, "Memory Error"},
        {2, "Can't Open the File"},
        {3, "Can't Find a Free Sound Driver"},
        {4, "The Sample Buffer Was Lost - Please Report This!"},
        {5, "Invalid Handle"},
        {6, "Unsupported Format"},
        {7, "Invalid Playback Position"},
        {8, "BASS_Init Has Not Been Successfully Called"},
        {9, "BASS_Start Has Not Been Successfully Called"},
        {14, "Already Initialized"},
        {18, "Can't Get a Free Channel"},
        {19, "An Illegal Type Was Specified"},
        {20, "An Illegal Parameter Was Specified"},
        {21, "No 3D Support"},
        {22, "No EAX Support"},
        {23, "Illegal Device Number"},
        {24, "Not Playing"},
        {25, "Illegal Sample Rate"},
        {27, "The Stream is Not a File Stream (WAV/MP3)"},
        {29, "No Hardware Voices Available"},
        {31, "The MOD music has no sequence data"},
        {32, "No Internet connection could be opened"},
        {33, "Couldn't create the file"},
        {34, "Effects are not enabled"},
        {37, "The requested data is not available"},
        {38, "The channel is a 'decoding channel'"},
        {-1, "Some Other Mystery Error"},
    };
    for (const auto& [code, text] : described)
        EXPECT_EQ(GetAudioErrorText(code), QString::fromLatin1(text)) << code;
    for (int unlisted : {10, 26, 35, 36, 39, 40, 41, -2, 1000})
        EXPECT_EQ(GetAudioErrorText(unlisted), QString()) << unlisted;
    // Every failure the engine reports, the disc ones included, has a sentence of its own in
    // the error log.
    QSet<QString> seen;
    for (int code : {kAudioErrorMemory, kAudioErrorFileOpen, kAudioErrorDriver, kAudioErrorHandle,
                     kAudioErrorFormat, kAudioErrorInit, kAudioErrorCdInit, kAudioErrorCdNotStarted,
                     kAudioErrorNoCd, kAudioErrorAlready, kAudioErrorCdTrack, kAudioErrorCdVolume,
                     kAudioErrorNotPaused, kAudioErrorIllegalParam, kAudioErrorNo3D,
                     kAudioErrorDevice, kAudioErrorNotPlaying, kAudioErrorNotAudioTrack,
                     kAudioErrorPlaying, kAudioErrorNoMusicData, kAudioErrorCreate,
                     kAudioErrorNotAvailable, kAudioErrorUnknown}) {
        const QString text = GetAudioErrorText(code);
        EXPECT_FALSE(text.isEmpty()) << code;
        EXPECT_FALSE(seen.contains(text)) << code;
        seen.insert(text);
    }
}

TEST(DeviceFailure, BoxesForEveryCode) {
    const QString head = QStringLiteral("Error: Couldn't Initialize Digital Output, The program "
                                        "will not work correclty.\r\nThe sound device may not be "
                                        "installed correclty.\r\n");
    const std::pair<int, const char*> fatal[] = {
        {1, "BASS_ERROR_MEM"},      {3, "BASS_ERROR_DRIVER"},    {6, "BASS_ERROR_FORMAT"},
        {21, "BASS_ERROR_NO3D"},    {23, "BASS_ERROR_DEVICE"},   {-1, "BASS_ERROR_UNKNOWN"},
        {2, "BASS_ERROR_UNKNOWN2"}, {99, "BASS_ERROR_UNKNOWN2"},
    };
    for (const auto& [code, name] : fatal) {
        const EngineStartResult r = DeviceFailure(code);
        EXPECT_TRUE(r.fatal) << code;
        EXPECT_EQ(r.code, code);
        EXPECT_EQ(r.text, head + QStringLiteral("Error Code:") + QString::fromLatin1(name));
        EXPECT_EQ(r.caption, code == 23 ? QStringLiteral("Initialaization Error")
                                        : QStringLiteral("Digital output"));
    }
    const EngineStartResult already = DeviceFailure(14);
    EXPECT_FALSE(already.fatal);
    EXPECT_EQ(already.text, QStringLiteral("Error: Couldn't Initialize Digital Output.\r\n"
                                           "Error Code:BASS_ERROR_ALREADY"));
    EXPECT_EQ(already.caption, QStringLiteral("Digital output"));
    const EngineStartResult ok = DeviceFailure(0);
    EXPECT_FALSE(ok.fatal);
    EXPECT_TRUE(ok.text.isEmpty());
}

TEST(AudioErrorCode, BelongsToEachThread) {
    SetAudioError(kAudioErrorFormat);
    int seen = 12345;
    std::thread t([&seen] {
        seen = AudioErrorGetCode();
        SetAudioError(kAudioErrorFileOpen);
    });
    t.join();
    EXPECT_EQ(seen, kAudioOk);
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorFormat);
}
