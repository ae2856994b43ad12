// CD tracks in the window: a CUE image from the audio dialog, and the preview of its tracks on
// the test runner's null sink.
#include "CdImages.h"
#include "SoundServer.h"
#include "TestSupport.h"
#include "app/PreviewControls.h"
#include "app/frmMain.h"
#include "engine/CdSource.h"
#include "filelist/FileAdder.h"
#include "filelist/PathExpansion.h"
#include "lang/Captions.h"
#include "ui/MyButton.h"

#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace kv;
using namespace kvtest;

namespace {

TEST(CdWindow, AddsTheTracksOfAnImageAndPreviewsThemOneAfterTheOther) {
    ProgramFolderFixture fx;
    fx.copyShippedLanguages();
    SetLanguageFile(QStringLiteral("English.ini"));
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    frmMain w;
    ASSERT_TRUE(w.load()) << "run through scripts/run-tests.sh for its null sink";
    QTemporaryDir dir;
    const QString cue = WriteCdImage(
        dir.filePath("disc.cue"), dir.filePath("disc.bin"),
        {{false, QByteArray(75 * 2352, '\0')}, {true, CdTone(450, 440)}, {true, CdTone(120, 880)}});
    auto settled = [&] { return AddsSettled(w, 20000); };

    dialogs.files = {{cue}};
    w.cmdAddFile->click();
    ASSERT_TRUE(settled());
    ASSERT_EQ(w.fileList()->rowCount(), 2);
    EXPECT_EQ(w.fileList()->row(0).FilePath, MakeCdTrackPath(cue, 2));
    EXPECT_EQ(w.fileList()->row(1).Duration, QStringLiteral("00:02"));
    EXPECT_EQ(w.fileList()->row(1).FileSize, QStringLiteral("CD Track"));
    EXPECT_TRUE(boxes.shown.empty());

    // Track 2, then "Play Next" to the 1.6-second track 3, which plays on from its beginning:
    // the disc passes from one reader to the next.
    w.Grid->selectRow(0);
    w.cmdPlay->click();
    PreviewPlayer& player = w.preview()->player();
    auto playsOn = [&](qint64 usecs) {
        const qint64 from = player.processedUSecs();
        return QTest::qWaitFor([&] { return player.processedUSecs() >= from + usecs; }, 20000);
    };
    ASSERT_TRUE(QTest::qWaitFor([] {
        const auto inputs = OwnSinkInputs();
        return inputs.size() == 1 && inputs[0].sampleFormat == QLatin1String("s16le 2ch 44100Hz");
    }));
    EXPECT_TRUE(playsOn(300000));
    w.cmdPlayNext->click();
    EXPECT_EQ(player.path(), MakeCdTrackPath(cue, 3));
    EXPECT_TRUE(playsOn(2500000));
    EXPECT_EQ(player.state(), PreviewPlayer::State::Playing);
    w.cmdStop->click();
    EXPECT_TRUE(boxes.shown.empty());
}

} // namespace
