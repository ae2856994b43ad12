#include "app/Shutdown.h"
#include "app/frmMain.h"
#include "lang/Captions.h"
#include "ui/MyButton.h"

#include "MediaTools.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace kv;
using namespace kvtest;

namespace {
class FakePower final : public PowerRequests {
public:
    FakePower() { SetPowerRequests(this); }
    ~FakePower() override { SetPowerRequests(nullptr); }
    void logOff() override { calls << "logoff"; }
    void powerOff() override { calls << "poweroff"; }
    void reboot() override { calls << "reboot"; }
    QStringList calls;
};

// Long enough that the window sees the file start well before it ends, on a loaded machine too.
constexpr double kLongSeconds = 300.0;

// One short FLAC made once, copied for every row.
QString sharedClip(double seconds) {
    static QTemporaryDir store;
    const QString path = store.filePath(QStringLiteral("clip%1.flac").arg(seconds));
    if (!QFileInfo::exists(path))
        MakeSine(path, seconds, 44100, 2, {"-c:a", "flac"});
    return path;
}

class Batch : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguageFile(QStringLiteral("English.ini"));
        ASSERT_TRUE(w.load());
        w.optFileFormat[kFormatWAV]->setChecked(true);
        w.optSameFolder->setChecked(true);
    }
    // Adds files named f0.flac... to the list through the real door.
    void addFiles(int n, double seconds = 1.0, int longIndex = -1) {
        for (int i = 0; i < n; ++i) {
            QString path = dir.filePath(QStringLiteral("f%1.flac").arg(paths.size()));
            ASSERT_TRUE(QFile::copy(sharedClip(i == longIndex ? kLongSeconds : seconds), path));
            ASSERT_TRUE(w.AddFile2Grid(path));
            paths << path;
        }
    }
    QString status(int row) const { return w.fileList()->row(row).Status; }
    bool runToEnd(int timeoutMs = 60000) { return ended.wait(timeoutMs); }

    ProgramFolderFixture fx;
    RecordingMessageBoxes boxes;
    FakePower power;
    QTemporaryDir dir;
    frmMain w{nullptr, 2}; // two files at once on offer, whatever the machine's cores
    QSignalSpy ended{&w, &frmMain::batchEnded};
    QStringList paths;
};
} // namespace

TEST_F(Batch, EmptyListShowsTheMessageAndStartsNothing) {
    w.chkShutdown->setChecked(true);
    w.cmdConvert->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("The list is empty, Please add Audio files from step 1"));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(w.cmdConvert->text(), QStringLiteral("Convert All"));
    EXPECT_FALSE(w.IsConverting);
    EXPECT_TRUE(power.calls.isEmpty());
}

TEST_F(Batch, ConvertAllWritesValidWavesAndLocksControlsMeanwhile) {
    addFiles(3);
    QStringList seen;
    QObject::connect(w.fileListModel(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex& i) { seen << w.fileList()->row(i.row()).Status; });
    // The sources' own folder, chosen as the other folder, so the folder box is usable.
    w.optOtherFolder->setChecked(true);
    w.txtOutPath->setText(dir.path());
    w.cmdConvert->click();
    EXPECT_EQ(w.cmdConvert->text(), QStringLiteral("Stop"));
    EXPECT_TRUE(w.IsConverting);
    EXPECT_FALSE(w.cmdConvertSelected->isEnabled());
    EXPECT_FALSE(w.cmdRemove->isEnabled());
    EXPECT_FALSE(w.cmdAddFile->isEnabled());
    EXPECT_TRUE(w.Grid->isEnabled());
    EXPECT_TRUE(w.chkShutdown->isEnabled());
    EXPECT_TRUE(w.txtOutPath->isEnabled());
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(ended.first().first().toBool());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(status(i), QStringLiteral("Complete"));
        EXPECT_EQ(w.fileListModel()->cellColor(i, FileListColumn::Status), QColor(113, 177, 98));
        const QString out = dir.filePath(QStringLiteral("f%1.wav").arg(i));
        const auto info = FfprobeAudio(out);
        ASSERT_TRUE(info) << out.toStdString();
        EXPECT_EQ(info->channels, 2);
        EXPECT_NEAR(info->duration, 1.0, 0.01);
    }
    // Progress reached the list as numbers between the waiting and the final texts.
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const QString& s) {
        bool ok = false;
        const double v = s.toDouble(&ok);
        return ok && v > 0 && v <= 100;
    }));
    EXPECT_EQ(w.cmdConvert->text(), QStringLiteral("Convert All"));
    EXPECT_TRUE(w.cmdConvertSelected->isEnabled());
    EXPECT_TRUE(w.cmdRemove->isEnabled());
    EXPECT_FALSE(w.IsConverting);
    EXPECT_TRUE(power.calls.isEmpty()); // the box was not ticked
}

TEST_F(Batch, StopOnTheThirdOfFiveThenConvertAllAgain) {
    addFiles(5, 1.0, 2); // the third is long enough to be stopped while it runs
    w.chkShutdown->setChecked(true);
    bool secondStarted = false;
    QObject::connect(w.batch(), &BatchDriver::fileStarted, &w,
                     [&](FileListRowId, const QString& source) {
                         if (source != paths[2])
                             return;
                         w.cmdConvert->click(); // the button reads "Stop"
                         EXPECT_EQ(w.cmdConvert->text(), QStringLiteral("Convert All"));
                         // While the stopped batch finishes, neither button starts another.
                         w.cmdConvert->click();
                         w.cmdConvertSelected->click();
                         secondStarted = w.cmdConvert->text() == QStringLiteral("Stop") ||
                                         w.cmdConvertSelected->text() == QStringLiteral("Stop");
                     });
    w.cmdConvert->click();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(status(0), QStringLiteral("Complete"));
    EXPECT_EQ(status(1), QStringLiteral("Complete"));
    EXPECT_EQ(status(2), QStringLiteral("Cancelled"));
    EXPECT_EQ(w.fileListModel()->cellColor(2, FileListColumn::Status), QColor(220, 10, 10));
    EXPECT_EQ(status(3), kStatusWaiting);
    EXPECT_EQ(status(4), kStatusWaiting);
    EXPECT_FALSE(secondStarted);
    EXPECT_EQ(ended.size(), 1);
    // A stopped batch that had started a file still switches off.
    EXPECT_EQ(power.calls, QStringList{"poweroff"});
    // The cancelled file is a valid, shorter WAVE.
    const auto cut = FfprobeAudio(dir.filePath("f2.wav"));
    ASSERT_TRUE(cut);
    EXPECT_LT(cut->duration, kLongSeconds);

    w.chkShutdown->setChecked(false);
    QObject::disconnect(w.batch(), &BatchDriver::fileStarted, &w, nullptr);
    w.cmdConvert->click();
    ASSERT_TRUE(runToEnd());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(status(i), QStringLiteral("Complete")) << i;
    // The cancelled output is kept; the new one takes the next free name.
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("f2_Converted.wav")));
    const auto full = FfprobeAudio(dir.filePath("f2_Converted.wav"));
    ASSERT_TRUE(full);
    EXPECT_NEAR(full->duration, kLongSeconds, 0.05);
    EXPECT_EQ(power.calls.size(), 1);
}

TEST_F(Batch, ConvertSelectedWithNothingTickedStartsNothingAndNeverShutsDown) {
    addFiles(2);
    w.chkShutdown->setChecked(true);
    w.cmdConvertSelected->click();
    ASSERT_TRUE(runToEnd());
    EXPECT_FALSE(ended.first().first().toBool());
    EXPECT_EQ(status(0), kStatusWaiting);
    EXPECT_EQ(status(1), kStatusWaiting);
    EXPECT_TRUE(power.calls.isEmpty());
    EXPECT_EQ(w.cmdConvertSelected->text(), QStringLiteral("Convert Selected"));

    // Finished rows are never converted again: nothing starts, no shutdown.
    w.cmdConvert->click();
    ASSERT_TRUE(runToEnd());
    power.calls.clear();
    w.cmdConvert->click();
    ASSERT_TRUE(runToEnd());
    EXPECT_FALSE(ended.last().first().toBool());
    EXPECT_TRUE(power.calls.isEmpty());
}

TEST_F(Batch, AnOutputFolderThatCannotBeMadeSkipsTheRowsAndGoesOn) {
    addFiles(2);
    w.optOtherFolder->setChecked(true);
    w.txtOutPath->setText(dir.filePath("missing/parent/out"));
    w.cmdConvert->click();
    ASSERT_TRUE(runToEnd());
    EXPECT_TRUE(ended.first().first().toBool());
    EXPECT_EQ(status(0), kStatusWaiting);
    EXPECT_EQ(status(1), kStatusWaiting);

    // A folder whose parent exists is made, and the outputs go there.
    w.txtOutPath->setText(dir.filePath("made"));
    w.cmdConvert->click();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(status(0), QStringLiteral("Complete"));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("made/f0.wav")));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("made/f1.wav")));
}

TEST_F(Batch, AFailedRowSaysWhyInItsToolTip) {
    addFiles(2);
    // Gone after it was added: the row fails, the other converts.
    ASSERT_TRUE(QFile::rename(paths[0], paths[0] + ".away"));
    w.cmdConvert->click();
    ASSERT_TRUE(runToEnd());
    const auto tip = [&](int row) {
        return w.fileListModel()->index(row, 3).data(Qt::ToolTipRole).toString();
    };
    EXPECT_EQ(status(0), QStringLiteral("Error"));
    EXPECT_TRUE(tip(0).startsWith(paths[0] + ": ")) << tip(0).toStdString();
    EXPECT_EQ(status(1), QStringLiteral("Complete"));
    EXPECT_TRUE(tip(1).isEmpty());
}

TEST_F(Batch, TheWindowConvertsToMp3WithThePanelsChoices) {
    addFiles(1);
    w.optFileFormat[kFormatMP3]->setChecked(true);
    w.cmbMP3Freq->setCurrentIndex(5); // "22.05 KHz"
    w.cmdConvert->click();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(status(0), QStringLiteral("Complete"));
    EXPECT_EQ(FfprobeAudio(dir.filePath("f0.mp3")).value_or(ProbeInfo{}).sampleRate, 22050);
}

// Something done in the window as the first, long file of a batch starts: G switches to German
// and stops, T ticks the third row, A adds a file, W chooses WMA, X closes the window, C clicks
// the close button and stops.
class BatchAct : public Batch, public ::testing::WithParamInterface<int> {};
INSTANTIATE_TEST_SUITE_P(Rows, BatchAct, ::testing::Range(0, 6));

TEST_P(BatchAct, AsTheFirstFileStarts) {
    const struct {
        const char* name;
        char act;
        int files;
        QString statuses; // a row each: C complete, X cancelled (in the language then), - waiting
        QString made, notMade;
        QString box; // the one box shown; empty: none
    } cases[] = {
        {"a language switch keeps Stop on the running button and the batch still stops", 'G', 2,
         "X-"},
        {"ticks changed during the batch count for rows not yet reached", 'T', 3, "C-C"},
        {"files added during a batch wait for the next", 'A', 1, "C-"},
        {"a format chosen during the batch applies from the next file", 'W', 2, "CC",
         "f0.wav f1.wma", "f0.wma f1.wav"},
        {"closing during a batch stops it before the close sequence", 'X', 2, ""},
        {"the close button refuses during a batch", 'C', 1, "X", "", "",
         "Please Stop Conversion first."},
    };
    const auto& c = cases[GetParam()];
    SCOPED_TRACE(c.name);
    fx.copyShippedLanguages();
    w.FillLanguageList();
    addFiles(c.files, 1.0, 0);
    if (c.act == 'T')
        w.fileListModel()->setCheckBox(0, 1);
    if (c.act == 'X' || c.act == 'C')
        w.show();
    MyButton* running = c.act == 'T' ? w.cmdConvertSelected : w.cmdConvert;
    int closings = 0;
    bool closedWhileRunning = false;
    QObject::connect(&w, &frmMain::closing, [&] {
        ++closings;
        closedWhileRunning = w.batch()->isRunning();
    });
    QString shown;
    QObject::connect(w.batch(), &BatchDriver::fileStarted, &w,
                     [&](FileListRowId, const QString& source) {
                         if (source != paths[0] || !shown.isEmpty())
                             return;
                         if (c.act == 'G') {
                             w.ComboLang->setCurrentIndex(w.ComboLang->findText("German"));
                             w.ComboLang_Click();
                         }
                         shown = running->text();
                         if (c.act == 'T')
                             w.fileListModel()->setCheckBox(2, 1);
                         if (c.act == 'A')
                             addFiles(1);
                         if (c.act == 'W')
                             w.optFileFormat[kFormatWMA]->setChecked(true);
                         if (c.act == 'X')
                             w.close();
                         if (c.act == 'C')
                             w.cmdClose->click();
                         if (c.act == 'G' || c.act == 'C')
                             running->click(); // Stop
                     });
    running->click();
    if (c.act == 'X')
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 60000));
    else
        ASSERT_TRUE(runToEnd(120000));
    EXPECT_EQ(shown, QStringLiteral("Stop"));
    EXPECT_FALSE(w.batch()->isRunning());
    EXPECT_EQ(closings, c.act == 'X' ? 1 : 0);
    EXPECT_FALSE(closedWhileRunning);
    EXPECT_EQ(w.isVisible(), c.act == 'C');
    if (!c.statuses.isEmpty())
        ASSERT_EQ(w.fileList()->rowCount(), c.statuses.size());
    for (int i = 0; i < c.statuses.size(); ++i)
        EXPECT_EQ(status(i), c.statuses[i] == 'C'   ? GetCaption(20014, QStringLiteral("Complete"))
                             : c.statuses[i] == 'X' ? GetCaption(20008, QStringLiteral("Cancelled"))
                                                    : kStatusWaiting)
            << i;
    for (const QString& name : c.made.split(' ', Qt::SkipEmptyParts))
        EXPECT_TRUE(QFileInfo::exists(dir.filePath(name))) << name.toStdString();
    for (const QString& name : c.notMade.split(' ', Qt::SkipEmptyParts))
        EXPECT_FALSE(QFileInfo::exists(dir.filePath(name))) << name.toStdString();
    EXPECT_EQ(boxes.shown.size(), c.box.isEmpty() ? 0u : 1u);
    if (!c.box.isEmpty() && !boxes.shown.empty())
        EXPECT_EQ(boxes.shown[0].text, c.box);
    SetLanguageFile(QStringLiteral("English.ini"));
}

TEST_F(Batch, TwoAtOnceEachRowItsOwnProgressAndStopCancelsBoth) {
    addFiles(3, 1.0, 0);
    addFiles(1, 1.0, 0); // rows 0 and 3 are long
    w.spnSimultaneous->setValue(3);
    ASSERT_EQ(w.CurrentConversionOptions().jobs, 2); // the most on offer
    w.optFileFormat[kFormatMP3]->setChecked(true);
    const auto progressing = [&](int row) {
        bool number = false;
        status(row).toDouble(&number);
        return number;
    };
    w.cmdConvert->click();
    // The short rows end while the long first one runs beside them; then the last row joins it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return progressing(0) && progressing(3); }, 60000));
    EXPECT_EQ(status(1), QStringLiteral("Complete"));
    EXPECT_EQ(status(2), QStringLiteral("Complete"));
    w.cmdConvert->click(); // Stop
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(status(0), QStringLiteral("Cancelled"));
    EXPECT_EQ(status(3), QStringLiteral("Cancelled"));
    EXPECT_EQ(ended.size(), 1);
    for (const QString name : {"f0.mp3", "f3.mp3"})
        EXPECT_GT(FfprobeAudio(dir.filePath(name)).value_or(ProbeInfo{}).duration, 0.0)
            << name.toStdString();
}
