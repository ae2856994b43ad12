// Adding many files with the length probe on a worker: the rows must be those the one-file
// door makes, in the order of the paths, whatever happens to the list meanwhile.
#include "filelist/FileAdder.h"
#include "MediaTools.h"
#include "TestSupport.h"
#include "engine/Decoders.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <condition_variable>
#include <mutex>

using namespace kv;
using namespace kvtest;

namespace {

class FileAdderTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterDecoders(); }
    std::unique_ptr<FileAdder> makeAdder(FileListModel& m) {
        return std::make_unique<FileAdder>(&m,
                                           std::make_unique<RecordingAddHost>(&errors, &cleared));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString tone(const QString& name, double seconds, const QStringList& args = {}) const {
        const QString p = path(name);
        EXPECT_TRUE(MakeSine(p, seconds, 8000, 1, args));
        return p;
    }
    static bool waitIdle(FileAdder& adder, int ms = 60000) {
        return QTest::qWaitFor([&] { return !adder.isBusy(); }, ms);
    }
    static QStringList paths(const FileListModel& m) { return RowPaths(*m.table()); }

    QTemporaryDir dir;
    QStringList errors;
    int cleared = 0;
};

// Holds the workers: a path not let through waits until the gate opens or the add is
// cancelled.
class Gate {
public:
    explicit Gate(const QStringList& through) : through_(through.begin(), through.end()) {}
    FileAdder::Measure measure() {
        return [this](const QString& path, const std::atomic<bool>* cancel) {
            if (!through_.contains(path)) {
                std::unique_lock<std::mutex> lock(mutex_);
                ++held;
                while (!open_ && !cancel->load())
                    wake_.wait_for(lock, std::chrono::milliseconds(1));
            }
            FileMeasure m = MeasureFile(path, cancel);
            ++measured;
            return m;
        };
    }
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        wake_.notify_all();
    }
    std::atomic<int> held{0}, measured{0};

private:
    const QSet<QString> through_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool open_ = false;
};

} // namespace

TEST_F(FileAdderTest, RowsMatchTheOneFileDoorAndKeepThePathOrder) {
    const QString b =
        tone(QStringLiteral("b.mp3"), 4.4, {QStringLiteral("-b:a"), QStringLiteral("32k")});
    const QString a = tone(QStringLiteral("a.wav"), 61.6);
    const QString bad = path(QStringLiteral("bad.mp3"));
    ASSERT_TRUE(WriteBytes(bad, QByteArray("this is not audio at all", 24)));
    const QString text = path(QStringLiteral("notes.txt"));
    ASSERT_TRUE(WriteBytes(text, "notes"));
    const QString folderLike = path(QStringLiteral("folder.wav"));
    ASSERT_TRUE(QDir().mkpath(folderLike));
    // a.wav twice, once with a doubled separator that normalising collapses.
    const QString aDoubled = dir.path() + QStringLiteral("//a.wav");
    const QStringList pick{b, text, a, bad, aDoubled, folderLike};

    FileListModel viaAdder;
    auto adder = makeAdder(viaAdder);
    QSignalSpy finished(adder.get(), &FileAdder::pickFinished);
    QSignalSpy busy(adder.get(), &FileAdder::busyChanged);
    adder->add(pick, true);
    EXPECT_TRUE(adder->isBusy());
    ASSERT_TRUE(waitIdle(*adder));
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0][0].toInt(), 3); // added
    EXPECT_EQ(finished[0][1].toInt(), 3); // text file, second a.wav, the folder
    EXPECT_TRUE(finished[0][2].toBool());
    ASSERT_EQ(busy.size(), 2);
    EXPECT_TRUE(busy[0][0].toBool());
    EXPECT_FALSE(busy[1][0].toBool());
    EXPECT_EQ(adder->done(), 0); // reset once idle
    // The folder named like a sound reaches the error box, as through the one-file door.
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("An error occured while Adding File\r2:")))
        << errors[0].toStdString();
    EXPECT_EQ(cleared, 3);

    // The same paths one by one through AddFile give the same rows and colours.
    FileListModel viaDoor;
    RecordingAddHost doorHost(&errors, &cleared);
    for (QString p : pick)
        AddFile(p, viaDoor, doorHost);
    EXPECT_EQ(paths(viaAdder), (QStringList{b, a, bad}));
    ASSERT_EQ(viaDoor.rowCount(), viaAdder.rowCount());
    for (int i = 0; i < viaDoor.rowCount(); ++i) {
        const FileListRow& x = viaAdder.table()->row(i);
        const FileListRow& y = viaDoor.table()->row(i);
        EXPECT_EQ(x.ID, y.ID);
        EXPECT_EQ(x.CheckBox, y.CheckBox);
        EXPECT_EQ(x.FilePath, y.FilePath);
        EXPECT_EQ(x.Status, y.Status);
        EXPECT_EQ(x.Duration, y.Duration);
        EXPECT_EQ(x.FileSize, y.FileSize);
        for (FileListColumn c : {FileListColumn::Status, FileListColumn::Duration})
            EXPECT_EQ(viaAdder.cellColor(i, c), viaDoor.cellColor(i, c));
    }
    EXPECT_EQ(viaAdder.table()->row(1).Duration, QStringLiteral("01:02"));
    EXPECT_EQ(viaAdder.table()->row(2).Status, kStatusNotSupported);
    EXPECT_EQ(viaAdder.cellColor(2, FileListColumn::Status), QColor(220, 10, 10));
}

TEST_F(FileAdderTest, QueuedPicksRunInTurnAndTheListMayChangeMeanwhile) {
    const QString a = tone(QStringLiteral("a.wav"), 1);
    const QString b = tone(QStringLiteral("b.wav"), 2);
    const QString c = tone(QStringLiteral("c.wav"), 3);
    FileListModel model;
    auto adder = makeAdder(model);
    QSignalSpy finished(adder.get(), &FileAdder::pickFinished);
    QSignalSpy busy(adder.get(), &FileAdder::busyChanged);

    adder->add({a, b}, true);
    // The same files again and one more: they wait for the first pick and are then checked
    // against its rows.
    adder->add({b, c, a}, false);
    // Another door adds b before the first pick's rows go in: the adder checks again.
    QString bAgain = b;
    RecordingAddHost other(&errors, &cleared);
    ASSERT_TRUE(AddFile2Grid(bAgain, model, other));
    ASSERT_TRUE(waitIdle(*adder));

    EXPECT_EQ(paths(model), (QStringList{b, a, c}));
    ASSERT_EQ(finished.size(), 2);
    EXPECT_EQ(finished[0][0].toInt(), 1);
    EXPECT_EQ(finished[0][1].toInt(), 1);
    EXPECT_TRUE(finished[0][2].toBool());
    EXPECT_EQ(finished[1][0].toInt(), 1);
    EXPECT_EQ(finished[1][1].toInt(), 2);
    EXPECT_FALSE(finished[1][2].toBool());
    EXPECT_EQ(busy.size(), 2); // one busy stretch for both picks
    EXPECT_TRUE(errors.isEmpty());

    // The list is rebuilt (as the remove button does, here keeping only b) while a pick is
    // measured: its rows go into the new list, after the kept row.
    const QString d = tone(QStringLiteral("d.wav"), 1);
    const QString e = tone(QStringLiteral("e.wav"), 1);
    auto rebuilt = NewFileListTable();
    ASSERT_TRUE(rebuilt->appendCopy(*model.table(), 0));
    adder->add({d, e}, true);
    model.setTable(std::move(rebuilt));
    ASSERT_TRUE(waitIdle(*adder));
    EXPECT_EQ(paths(model), (QStringList{b, d, e}));
}

TEST_F(FileAdderTest, ManyFilesArriveInOrderWithProgress) {
    const QStringList files = WavCopies(dir.filePath(QStringLiteral("many")), 400);
    FileListModel model;
    auto adder = makeAdder(model);
    QSignalSpy progress(adder.get(), &FileAdder::progress);
    adder->add(files, true);
    ASSERT_TRUE(waitIdle(*adder));
    EXPECT_EQ(paths(model), files);
    ASSERT_GE(progress.size(), 2);
    int last = -1;
    for (const QList<QVariant>& p : progress) {
        EXPECT_GE(p[0].toInt(), last); // never goes back
        EXPECT_EQ(p[1].toInt(), 400);
        last = p[0].toInt();
    }
    EXPECT_EQ(last, 400);
    EXPECT_EQ(model.table()->row(399).Duration, QStringLiteral("00:00"));
    EXPECT_EQ(model.table()->row(399).Status, kStatusWaiting);
}

TEST_F(FileAdderTest, CancelAndDestroyWhileMeasuring) {
    const QStringList files = WavCopies(dir.filePath(QStringLiteral("many")), 600);
    FileListModel model;
    auto adder = makeAdder(model);
    Gate gate(files.mid(0, 20));
    adder->setMeasure(gate.measure());
    QSignalSpy finished(adder.get(), &FileAdder::pickFinished);
    QSignalSpy busy(adder.get(), &FileAdder::busyChanged);
    adder->add(files, true);
    adder->add({tone(QStringLiteral("later.wav"), 1)}, true);
    // Twenty rows in, the workers held at the gate with the rest.
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.rowCount() == 20 && gate.held > 0; }, 60000));
    adder->cancel();
    EXPECT_FALSE(adder->isBusy());
    ASSERT_EQ(busy.size(), 2);
    // A drain posted before the cancel finds nothing to do.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(paths(model), files.mid(0, 20));
    EXPECT_EQ(finished.size(), 0);

    // Usable again after a cancel.
    gate.open();
    adder->add({files.last()}, true);
    ASSERT_TRUE(waitIdle(*adder));
    EXPECT_EQ(paths(model), files.mid(0, 20) + QStringList{files.last()});

    // Going away in the middle of a pick ends the workers, and nothing touches the model later.
    FileListModel other;
    Gate held(files.mid(0, 5));
    {
        auto doomed = makeAdder(other);
        doomed->setMeasure(held.measure());
        doomed->add(files, false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return other.rowCount() == 5 && held.held > 0; }, 60000));
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(other.rowCount(), 5);
}

TEST_F(FileAdderTest, LaterFilesMeasuredFirstStillGoInAfterTheEarlierOnes) {
    const QStringList files = WavCopies(dir.filePath(QStringLiteral("order")), 40);
    FileListModel model;
    auto adder = makeAdder(model);
    adder->setCores(4); // several workers on any machine
    ASSERT_GE(adder->workersFor(40), 2);
    Gate gate(files.mid(1));
    adder->setMeasure(gate.measure());
    adder->add(files, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.measured == 39; }, 60000));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(model.rowCount(), 0); // the first file holds the others back
    gate.open();
    ASSERT_TRUE(waitIdle(*adder));
    EXPECT_EQ(paths(model), files);
}

TEST_F(FileAdderTest, DropsPassOverFoldersAndPipesNamedLikeSounds) {
    const QString folder = path(QStringLiteral("folder.wav"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString pipe = path(QStringLiteral("pipe.mp3"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString good = tone(QStringLiteral("good.wav"), 1);
    FileListModel model;
    auto adder = makeAdder(model);
    QSignalSpy finished(adder.get(), &FileAdder::pickFinished);
    adder->add({folder, pipe, good}, false); // as a drop
    ASSERT_TRUE(waitIdle(*adder));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(paths(model), QStringList{good});
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished[0][1].toInt(), 2);
    // Picked, they get the error box as before.
    adder->add({folder, pipe}, true);
    ASSERT_TRUE(waitIdle(*adder));
    EXPECT_EQ(errors.size(), 2);
}
