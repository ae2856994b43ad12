// The sound server goes away during a preview: the preview ends with the playback error box,
// never with a hang, and plays again once the server is back. The server is this test's own,
// so killing it disturbs no other test.
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
    const QString song = media.filePath(QStringLiteral("song.wav"));
    ASSERT_TRUE(MakeSine(song, 60, 44100, 2, {}));
    ProgramFolderFixture fx;
    fx.copyShippedLanguages();
    SetLanguageFile(QStringLiteral("English.ini"));
    RecordingMessageBoxes boxes;
    frmMain w;
    ASSERT_TRUE(w.load());
    FileListRow row;
    row.FilePath = song;
    row.Status = kStatusWaiting;
    ASSERT_TRUE(w.fileListModel()->appendRow(row));
    w.Grid->selectRow(0);
    PreviewPlayer& player = w.preview()->player();

    // Plays the row; while the toolkit has not yet found a restarted server again, "Play"
    // answers with the box at once, and is pressed again.
    auto playWhenTheServerAnswers = [&] {
        for (QDeadlineTimer deadline(30000); !deadline.hasExpired();) {
            const size_t before = boxes.shown.size();
            w.cmdPlay->click();
            if (!QTest::qWaitFor(
                    [&] {
                        return boxes.shown.size() > before ||
                               player.state() == PreviewPlayer::State::Playing;
                    },
                    10000))
                return false;
            if (player.state() == PreviewPlayer::State::Playing)
                return QTest::qWaitFor([] { return OwnSinkInputs().size() == 1; }, 10000);
            EXPECT_EQ(boxes.shown.back().text, QStringLiteral("(Error code: 3)"));
            QTest::qWait(200); // the toolkit reconnects on a timer of its own
        }
        return false;
    };

    for (const bool pausedAtKill : {false, true}) {
        SCOPED_TRACE(pausedAtKill ? "paused" : "playing");
        ASSERT_TRUE(playWhenTheServerAnswers());
        if (pausedAtKill) {
            w.cmdPause->click();
            ASSERT_EQ(w.cmdPause->text(), QStringLiteral("Resume"));
        }
        // The box comes up once the preview is over.
        boxes.shown.clear();
        quint32 channelAtBox = 1;
        QString captionAtBox;
        boxes.onShow = [&](const MessageRequest&) {
            channelAtBox = player.channel();
            captionAtBox = w.cmdPause->text();
        };
        server.kill();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.shown.empty(); }, 20000));
        boxes.onShow = nullptr;
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Critical);
        EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::Ok);
        EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Kelvanto"));
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("(Error code: 3)"));
        EXPECT_EQ(channelAtBox, 0u);
        EXPECT_EQ(captionAtBox, QStringLiteral("Pause"));
        ASSERT_TRUE(server.start());
    }
    ASSERT_TRUE(playWhenTheServerAnswers());
    w.cmdStop->click();
    EXPECT_TRUE(QTest::qWaitFor([] { return OwnSinkInputs().empty(); }, 10000));
}
