#include "filelist/DialogFilters.h"
#include "lang/Captions.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kv;

namespace {
QStringList labels(const std::vector<DialogFilter>& f) {
    QStringList out;
    for (const DialogFilter& e : f)
        out << e.label;
    return out;
}
} // namespace

TEST(DialogFilters, AudioEntriesInOrderWithTheirLabels) {
    kvtest::ProgramFolderFixture fx;
    SetLanguageFile(QStringLiteral("English.ini"));
    const auto f = AudioDialogFilters();
    EXPECT_EQ(labels(f),
              (QStringList{
                  "All Supported Audio Formats", "Common Audio Files(*.wav,*.wma,*.mp3,*.ogg)",
                  "MPEG Files(*.mp1,*.mp2,*.mp3,*.mp4)", "CD Audio Tracks(*.cda)",
                  "Windows Media Audio Files(*.wma)", "Ogg Vorbis Files(*.ogg)", "MOD Files(*.mod)",
                  "MO3 Files(*.mo3)", "Apple Lossless Audio Codec Files(*.alac)",
                  "Advanced Audio Coding Files(*.aac)", "Dolby Digital Files(*.ac3)",
                  "Monkey's Audio Files(*.ape)", "OptimFROG Files(*.ofr)", "Speex Files(*.spx)",
                  "True Audio Files(*.tta)", "Free Lossless Audio Codec Files(*.flac)",
                  "MIDI Files(*.midi)", "WavPack Encoded Files(*.wv)", "ADX Files(*.adx)",
                  "Opus Files(*.opus)", "MPEG-4 Audio Files(*.m4a)"}));
    // CD images are picked for their tracks.
    EXPECT_EQ(f[0].patterns.size(), 24);
    EXPECT_EQ(f[0].patterns.last(), QStringLiteral("*.cue"));
    EXPECT_EQ(f[3].patterns.join(';'), QStringLiteral("*.cda;*.cue"));
    EXPECT_EQ(
        QtNameFilter(f[1]),
        QStringLiteral("Common Audio Files(*.wav,*.wma,*.mp3,*.ogg) (*.wav *.wma *.mp3 *.ogg)"));
    EXPECT_EQ(AudioDialogTitle(), QStringLiteral("Select one or more audio files"));
}

TEST(DialogFilters, VideoEntriesAreFixedEnglish) {
    const auto f = VideoDialogFilters();
    EXPECT_EQ(labels(f),
              (QStringList{"All Supported Video Formats", "MPEG Files(*.mpg,*.mpeg,*.mp2,*.mp4)",
                           "Windows Media Files(*.wmv,*.asf)", "AVI Files(*.avi)",
                           "QuickTime Files-Ver2 or less(*.mov)"}));
    EXPECT_EQ(f[0].patterns.join(';'),
              QStringLiteral("*.wmv;*.asf;*.avi;*.mpg;*.mp2;*.mpeg;*.mp4;*.mov;*.dat"));
    EXPECT_EQ(f[1].patterns.join(';'), QStringLiteral("*.mpg;*.mp2;*.mpeg;*.mp4"));
    EXPECT_EQ(VideoDialogTitle(), QStringLiteral("Select one or more video files"));
}

TEST(DialogFilters, TranslatedNamesComeFromTheLanguageFile) {
    kvtest::ProgramFolderFixture fx;
    fx.writeFile("Lang/T.ini",
                 "[Kelvanto]\n20001=Alle Formate\n20002=Gängige Dateien\n20003=Wählen\n");
    SetLanguageFile(QStringLiteral("T.ini"));
    const auto f = AudioDialogFilters();
    EXPECT_EQ(f[0].label, QStringLiteral("Alle Formate"));
    EXPECT_EQ(f[1].label, QString::fromUtf8("Gängige Dateien(*.wav,*.wma,*.mp3,*.ogg)"));
    EXPECT_EQ(AudioDialogTitle(), QString::fromUtf8("Wählen"));
    SetLanguageFile(QStringLiteral("English.ini"));
}
