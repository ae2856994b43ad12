// Preview from the window on the test runner's null sink: which row the buttons play, the
// pause button's caption, the stream the sound server gets, and the hooks that stop it.
#include "MediaTools.h"
#include "SoundServer.h"
#include "SynthFixtures.h"
#include "TestSupport.h"
#include "app/PreviewControls.h"
#include "app/frmMain.h"
#include "lang/Captions.h"
#include "ui/MyButton.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

using namespace kv;
using namespace kvtest;
using State = PreviewPlayer::State;

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    return QTest::qWaitFor(done, ms);
}

class Preview : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        media = new QTemporaryDir;
        ASSERT_TRUE(MakeSine(media->filePath("stereo.wav"), 30, 44100, 2, {}));
        ASSERT_TRUE(MakeSine(media->filePath("mono.wav"), 30, 22050, 1, {}));
        ASSERT_TRUE(MakeSine(media->filePath("second.wav"), 1, 44100, 2, {}));
        ASSERT_TRUE(WriteBytes(media->filePath("tune.mod"), MakeProTrackerModule()));
    }
    static void TearDownTestSuite() { delete media; }
    void SetUp() override {
        fx.copyShippedLanguages();
        SetLanguageFile(QStringLiteral("English.ini"));
        ASSERT_TRUE(w.load()) << "run through scripts/run-tests.sh for its null sink";
    }
    void addRow(const QString& path, int kb = 1) {
        FileListRow r;
        r.FilePath = path;
        r.Status = kStatusWaiting;
        r.FileSize = QStringLiteral("%1 KB").arg(kb);
        ASSERT_TRUE(w.fileListModel()->appendRow(r));
    }
    void addFiles(std::initializer_list<const char*> names) {
        for (const char* name : names)
            addRow(media->filePath(QString::fromLatin1(name)));
    }
    void playRow(int row) {
        w.Grid->clearSelection();
        w.Grid->selectRow(row);
        w.cmdPlay->click();
    }
    PreviewPlayer& player() { return w.preview()->player(); }

    static inline QTemporaryDir* media = nullptr;
    ProgramFolderFixture fx;
    RecordingMessageBoxes boxes;
    frmMain w;
};

struct RowCase {
    const char* name;
    bool sorted;               // grid sorted by size, smallest first: rows shown in reverse
    std::vector<int> selected; // grid rows selected before the click
    int active;                // the grid's current row, -1 none
    int previewed;             // grid row of PreviewPath before the click; -1 none, -2 gone
    MyButton* frmMain::*button;
    int played; // grid row played, -1 none
};

} // namespace

TEST_F(Preview, ButtonsChooseTheRowAsShown) {
    const RowCase cases[] = {
        {"rows 2 and 5 selected: row 5", false, {1, 4}, -1, -1, &frmMain::cmdPlay, 4},
        {"no selection: the active row", false, {}, 2, -1, &frmMain::cmdPlay, 2},
        {"a selected row below the active one wins", false, {4}, 1, -1, &frmMain::cmdPlay, 4},
        {"the active row below a selected one wins", false, {0}, 3, -1, &frmMain::cmdPlay, 3},
        {"nothing selected, no active row", false, {}, -1, -1, &frmMain::cmdPlay, -1},
        {"next", false, {}, -1, 1, &frmMain::cmdPlayNext, 2},
        {"next from the first row", false, {}, -1, 0, &frmMain::cmdPlayNext, 1},
        {"next on the last row", false, {}, -1, 5, &frmMain::cmdPlayNext, -1},
        {"previous", false, {}, -1, 3, &frmMain::cmdPlayPrev, 2},
        {"previous on the first row", false, {}, -1, 0, &frmMain::cmdPlayPrev, -1},
        {"next before any preview", false, {}, -1, -1, &frmMain::cmdPlayNext, -1},
        {"next from a file no longer listed", false, {}, -1, -2, &frmMain::cmdPlayNext, -1},
        {"next in a sorted grid", true, {}, -1, 1, &frmMain::cmdPlayNext, 2},
        {"play in a sorted grid", true, {1, 3}, -1, -1, &frmMain::cmdPlay, 3},
    };
    for (int i = 0; i < 6; ++i)
        addRow(QStringLiteral("/music/%1.wav").arg(i), 10 - i);
    QTableView* grid = w.Grid;
    QItemSelectionModel* sel = grid->selectionModel();
    for (const RowCase& c : cases) {
        SCOPED_TRACE(c.name);
        grid->sortByColumn(c.sorted ? 5 : -1, Qt::AscendingOrder);
        auto pathAt = [&](int row) { return grid->model()->index(row, 2).data().toString(); };
        sel->clear();
        grid->setCurrentIndex({});
        for (int row : c.selected)
            sel->select(grid->model()->index(row, 2), QItemSelectionModel::Select);
        if (c.active >= 0)
            sel->setCurrentIndex(grid->model()->index(c.active, 2), QItemSelectionModel::NoUpdate);
        w.PreviewPath = c.previewed >= 0    ? pathAt(c.previewed)
                        : c.previewed == -2 ? QStringLiteral("/music/gone.wav")
                                            : QString();
        const QString before = w.PreviewPath;
        (w.*c.button)->click();

        if (c.played < 0) {
            EXPECT_EQ(w.PreviewPath, before);
            EXPECT_EQ(player().channel(), 0u);
            continue;
        }
        EXPECT_EQ(w.PreviewPath, pathAt(c.played));
        EXPECT_EQ(player().path(), pathAt(c.played));
        EXPECT_TRUE(sel->isRowSelected(c.played) ||
                    sel->isSelected(grid->model()->index(c.played, 1)));
        if (c.previewed >= 0) {
            EXPECT_FALSE(sel->isSelected(grid->model()->index(c.previewed, 1)));
        }
        // None of these files exists: the channel ends quietly.
        EXPECT_TRUE(WaitFor([&] { return player().channel() == 0; }));
        EXPECT_TRUE(boxes.shown.empty());
        player().stop();
    }
}

TEST_F(Preview, PauseButtonFollowsTheButtonsAndTheLanguage) {
    // Clicks: P "Play" (of the first row), p the pause button, s "Stop", n "Play Next",
    // v "Play Previous", d a double click on the second row, r "Remove" of the first row;
    // G switches to German. No sequence ends in a box.
    const struct {
        const char* clicks;
        const char* caption;
        State state;
    } cases[] = {
        {"p", "Pause", State::Idle},          {"P", "Pause", State::Playing},
        {"Pp", "Resume", State::Paused},      {"Ppp", "Pause", State::Playing},
        {"Ppsp", "Pause", State::Idle},       {"PpP", "Pause", State::Playing},
        {"PpG", "Fortsetzen", State::Paused}, {"PG", "Pause", State::Playing},
        {"Ppn", "Pause", State::Playing},     {"Ppnpn", "Resume", State::Paused},
        {"Ppv", "Resume", State::Paused},     {"Ppvp", "Pause", State::Playing},
        {"Ppnpnp", "Pause", State::Playing},  {"Ppd", "Pause", State::Playing},
        {"PpsP", "Pause", State::Playing},    {"Ppr", "Pause", State::Idle}, // last: removes
    };
    const std::map<char, MyButton*> buttons = {{'P', w.cmdPlay},
                                               {'p', w.cmdPause},
                                               {'s', w.cmdStop},
                                               {'n', w.cmdPlayNext},
                                               {'v', w.cmdPlayPrev}};
    addFiles({"stereo.wav", "mono.wav"});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.clicks);
        SetLanguageFile(QStringLiteral("English.ini"));
        w.SetCaptions();
        w.Grid->clearSelection();
        w.Grid->selectRow(0);
        for (const char* k = c.clicks; *k; ++k) {
            if (*k == 'G') {
                SetLanguageFile(QStringLiteral("German.ini"));
                w.SetCaptions();
            } else if (*k == 'd') {
                w.Grid->clearSelection();
                w.Grid->selectRow(1);
                Q_EMIT w.Grid->doubleClicked(w.Grid->model()->index(1, 2));
            } else if (*k == 'r') {
                w.fileListModel()->setCheckBox(0, 1);
                w.cmdRemove->click();
            } else {
                buttons.at(*k)->click();
            }
        }
        EXPECT_EQ(w.cmdPause->text(), QString::fromUtf8(c.caption));
        EXPECT_TRUE(WaitFor([&] { return player().state() != State::Opening; }));
        EXPECT_EQ(player().state(), c.state);
        w.cmdStop->click();
        EXPECT_EQ(w.cmdPause->text(), GetCaption(10016, QStringLiteral("Pause")));
        EXPECT_TRUE(boxes.shown.empty());
        boxes.shown.clear();
    }
}

TEST_F(Preview, TheSoundServerGetsOneStreamThatFollowsTheButtonsAndTheHooks) {
    addFiles({"stereo.wav", "mono.wav", "second.wav", "tune.mod"});
    auto streamIs = [](const char* sampleFormat, bool corked) {
        return WaitFor([&] {
            const auto inputs = OwnSinkInputs();
            return inputs.size() == 1 && inputs[0].sampleFormat == QLatin1String(sampleFormat) &&
                   inputs[0].corked == corked;
        });
    };
    auto advancesBy = [&](qint64 usecs, int ms = 10000) {
        const qint64 from = player().processedUSecs();
        return WaitFor([&] { return player().processedUSecs() >= from + usecs; }, ms);
    };

    playRow(0);
    ASSERT_TRUE(streamIs("s16le 2ch 44100Hz", false));
    EXPECT_TRUE(advancesBy(300000));

    w.cmdPause->click();
    EXPECT_TRUE(streamIs("s16le 2ch 44100Hz", true));
    const qint64 paused = player().processedUSecs();
    // A paused stream must not move while the sink plays on.
    EXPECT_TRUE(SinkPlayedFor(400));
    EXPECT_EQ(player().processedUSecs(), paused);
    EXPECT_TRUE(streamIs("s16le 2ch 44100Hz", true));
    w.cmdPause->click();
    EXPECT_TRUE(streamIs("s16le 2ch 44100Hz", false));
    EXPECT_TRUE(advancesBy(300000));

    // Another row replaces the stream.
    playRow(1);
    EXPECT_TRUE(streamIs("s16le 1ch 22050Hz", false));

    w.cmdStop->click();
    EXPECT_TRUE(WaitFor([] { return OwnSinkInputs().empty(); }));
    EXPECT_EQ(player().channel(), 0u);

    // A tracker module, which only the module opener takes.
    playRow(3);
    EXPECT_TRUE(streamIs("s16le 2ch 44100Hz", false));

    // A one-second file plays on from its beginning: more than two seconds come out of it.
    playRow(2);
    EXPECT_TRUE(advancesBy(2500000, 20000));
    EXPECT_EQ(player().state(), State::Playing);
    EXPECT_EQ(OwnSinkInputs().size(), 1u);

    // Removing the previewed row stops the preview, and so does the start of a batch.
    w.fileListModel()->setCheckBox(2, 1);
    w.cmdRemove->click();
    EXPECT_TRUE(WaitFor([] { return OwnSinkInputs().empty(); }));
    EXPECT_EQ(player().channel(), 0u);
    playRow(1);
    ASSERT_TRUE(streamIs("s16le 1ch 22050Hz", false));
    QTemporaryDir out;
    w.optOtherFolder->setChecked(true);
    w.txtOutPath->setText(out.path());
    QSignalSpy batchEnded(&w, &frmMain::batchEnded);
    w.cmdConvert->click();
    EXPECT_EQ(player().channel(), 0u);
    EXPECT_TRUE(WaitFor([] { return OwnSinkInputs().empty(); }));
    EXPECT_TRUE(WaitFor([&] { return batchEnded.count() == 1; }, 60000));
    EXPECT_TRUE(boxes.shown.empty());
}
