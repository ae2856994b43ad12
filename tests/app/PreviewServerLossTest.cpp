// The sound server goes away during a preview: the preview ends with the playback error box,
// never with a hang, and plays again once the server is back. The server is this test's own.
#include "MediaTools.h"
#include "SoundServer.h"
#include "TestSupport.h"
#include "app/PreviewControls.h"
#include "app/frmMain.h"
#include "lang/Captions.h"
#include "ui/MyButton.h"

#include <QDeadlineTimer>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace kv;
using namespace kvtest;

TEST(PreviewServerLoss, EndsInTheErrorBoxAndPlaysAgainWhenTheServerIsBack) {
    PrivateSoundServer server;
    ASSERT_TRUE(server.start());
    // Before anything in this process talks to a sound server.
    qputenv("PULSE_SERVER", server.address().toLocal8Bit());
    QTemporaryDir media;
    QString song = media.filePath("song.wav");
    ASSERT_TRUE(MakeSine(song, 60, 44100, 2, {}));
    ProgramFolderFixture fx;
    fx.copyShippedLanguages();
    SetLanguageFile("English.ini");
    RecordingMessageBoxes boxes;
    frmMain w;
    ASSERT_TRUE(w.load());
    ASSERT_TRUE(w.AddFile2Grid(song));
    w.Grid->selectRow(0);
    PreviewPlayer& player = w.preview()->player();

    // Until the toolkit has found a restarted server again, "Play" gets the box at once.
    auto playWhenTheServerAnswers = [&] {
        for (QDeadlineTimer deadline(30000); !deadline.hasExpired(); QTest::qWait(200)) {
            const size_t before = boxes.shown.size();
            w.cmdPlay->click();
            if (!QTest::qWaitFor([&] { return player.state() != PreviewPlayer::State::Opening; }))
                return false;
            if (player.state() == PreviewPlayer::State::Playing)
                return QTest::qWaitFor([] { return OwnSinkInputs().size() == 1; });
            EXPECT_EQ(boxes.shown.size(), before + 1);
            // A channel left halted waits for "Resume", which tries the server again.
            if (player.state() == PreviewPlayer::State::Halted) {
                EXPECT_EQ(w.cmdPause->text(), QStringLiteral("Resume"));
            }
        }
        return false;
    };

    for (const bool pausedAtKill : {false, true}) {
        SCOPED_TRACE(pausedAtKill ? "paused" : "playing");
        ASSERT_TRUE(playWhenTheServerAnswers());
        if (pausedAtKill)
            w.cmdPause->click();
        boxes.shown.clear();
        QString captionAtBox;
        boxes.onShow = [&](const MessageRequest&) {
            captionAtBox = player.channel() == 0 ? w.cmdPause->text() : QString("still playing");
        };
        server.kill();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown.empty(); }, 20000));
        boxes.onShow = nullptr;
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Kelvanto"));
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("(Error code: 3)"));
        EXPECT_EQ(captionAtBox, QStringLiteral("Pause"));
        ASSERT_TRUE(server.start());
    }
    ASSERT_TRUE(playWhenTheServerAnswers());
    for (const MessageRequest& box : boxes.shown)
        EXPECT_EQ(box.text, QStringLiteral("(Error code: 3)"));
}
