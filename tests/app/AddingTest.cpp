// The window's ways into the file list: both pickers, the folder button and drops on the grid,
// with real files, and a large folder that must not stall the window.
#include "CdImages.h"
#include "MediaTools.h"
#include "TestSupport.h"
#include "app/frmMain.h"
#include "engine/CdSource.h"
#include "filelist/AddFile2Grid.h"
#include "filelist/FileAdder.h"
#include "filelist/PathExpansion.h"
#include "lang/Captions.h"
#include "settings/NativePath.h"
#include "ui/FileDialogs.h"
#include "ui/MyButton.h"

#include <QCheckBox>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

using namespace kv;
using namespace kvtest;

namespace {

const QString kSummary =
    QStringLiteral("Some files are not supported or already exist and will not be added");

QStringList labels(const std::vector<DialogFilter>& filters) {
    QStringList out;
    for (const DialogFilter& f : filters)
        out << f.label;
    return out;
}

class Adding : public ::testing::Test {
protected:
    void SetUp() override {
        fx.copyShippedLanguages();
        SetLanguageFile(QStringLiteral("English.ini"));
        ASSERT_TRUE(w.load());
    }
    QString tone(const QString& name, double seconds = 1.5, const QStringList& args = {}) {
        const QString p = dir.filePath(name);
        EXPECT_TRUE(QDir().mkpath(QFileInfo(p).path()));
        EXPECT_TRUE(MakeSine(p, seconds, 8000, 1, args));
        return p;
    }
    QString textFile(const QString& name, const QByteArray& bytes = "just text") {
        const QString p = dir.filePath(name);
        EXPECT_TRUE(WriteBytes(p, bytes));
        return p;
    }
    bool waitIdle(int ms = 120000) { return AddsSettled(w, ms); }
    QStringList paths() const { return RowPaths(*w.fileList()); }
    int summaries() const {
        int n = 0;
        for (const MessageRequest& r : boxes.shown) {
            if (r.text == kSummary) {
                EXPECT_EQ(r.icon, MsgIcon::Warning);
                EXPECT_EQ(r.title, QStringLiteral("Kelvanto"));
                EXPECT_EQ(r.buttons, MsgButtons::Ok);
                ++n;
            }
        }
        return n;
    }
    // Sends a drag with these URLs over the grid and drops it; whether the grid took it.
    bool dropOnGrid(const QList<QUrl>& urls, const QString& text = {},
                    Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction) {
        QMimeData data;
        if (!urls.isEmpty())
            data.setUrls(urls);
        if (!text.isEmpty())
            data.setText(text);
        QWidget* target = w.Grid->viewport();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDragMoveEvent move(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        EXPECT_TRUE(move.isAccepted());
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
        return drop.isAccepted();
    }

    // Runs `answer` on the next real file dialog once it is up.
    void answerDialog(std::function<void(QFileDialog*)> answer) {
        auto* timer = new QTimer(&w);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* d = qobject_cast<QFileDialog*>(top);
                if (d != nullptr && d->isVisible()) {
                    timer->deleteLater();
                    timer->stop();
                    answer(d);
                    return;
                }
            }
        });
        timer->start(10);
    }
    // A tone under a name that may hold bytes that are not UTF-8.
    QString byteNamed(const QByteArray& relative, double seconds = 2) {
        const QString p = dir.path() + PathFromNative(relative);
        EXPECT_TRUE(QDir().mkpath(QFileInfo(p).path()));
        EXPECT_TRUE(RenameToNative(tone(QStringLiteral("plain.wav"), seconds), p));
        return p;
    }

    ProgramFolderFixture fx;
    RecordingMessageBoxes boxes;
    ScriptedDialogs dialogs;
    ByteNameDir dir;
    frmMain w;
};

} // namespace

TEST_F(Adding, AudioDialogAddsOneFileOrSeveralInTheDialogsOrder) {
    const QString one = tone(QStringLiteral("one.wav"), 65.2);
    w.chkSelectAll->setChecked(true);
    dialogs.files.push_back({one});
    w.cmdAddFile->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), QStringList{one});
    EXPECT_EQ(w.fileList()->row(0).Duration, QStringLiteral("01:05"));
    EXPECT_EQ(w.fileList()->row(0).Status, kStatusWaiting);
    EXPECT_FALSE(w.chkSelectAll->isChecked());
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_EQ(dialogs.fileTitles, QStringList{QStringLiteral("Select one or more audio files")});
    const QStringList audio = labels(dialogs.lastFilters);
    ASSERT_EQ(audio.size(), 21);
    EXPECT_EQ(audio.first(), QStringLiteral("All Supported Audio Formats"));
    EXPECT_EQ(audio[1], QStringLiteral("Common Audio Files(*.wav,*.wma,*.mp3,*.ogg)"));
    EXPECT_EQ(audio.last(), QStringLiteral("MPEG-4 Audio Files(*.m4a)"));

    // Three files, not in name order: they go in as the dialog lists them.
    const QString c = tone(QStringLiteral("c.flac"));
    const QString a =
        tone(QStringLiteral("a.mp3"), 2, {QStringLiteral("-b:a"), QStringLiteral("32k")});
    const QString b =
        tone(QStringLiteral("b.ogg"), 2, {QStringLiteral("-c:a"), QStringLiteral("libvorbis")});
    dialogs.files.push_back({c, a, b});
    w.cmdAddFile->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), (QStringList{one, c, a, b}));
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(w.fileList()->row(i).Status, kStatusWaiting) << i;
    EXPECT_TRUE(boxes.shown.empty());

    // Files the dialog offers but the list refuses (MOD entry) end in one summary.
    const QString mod = textFile(QStringLiteral("song.mod"));
    const QString wv = textFile(QStringLiteral("song.wv"));
    const QString d = tone(QStringLiteral("d.wav"));
    dialogs.files.push_back({mod, d, one, wv});
    w.cmdAddFile->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), (QStringList{one, c, a, b, d}));
    EXPECT_EQ(summaries(), 1);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(Adding, VideoDialogAddsTheSoundtrackOfAClip) {
    const QString clip = dir.filePath(QStringLiteral("clip.avi"));
    ASSERT_TRUE(MakeVideo(clip, 3, {}));
    dialogs.files.push_back({clip});
    w.cmdAddVideoFile->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), QStringList{clip});
    EXPECT_EQ(w.fileList()->row(0).Duration, QStringLiteral("00:03"));
    EXPECT_EQ(w.fileList()->row(0).Status, kStatusWaiting);
    EXPECT_EQ(dialogs.fileTitles, QStringList{QStringLiteral("Select one or more video files")});
    EXPECT_EQ(labels(dialogs.lastFilters),
              (QStringList{QStringLiteral("All Supported Video Formats"),
                           QStringLiteral("MPEG Files(*.mpg,*.mpeg,*.mp2,*.mp4)"),
                           QStringLiteral("Windows Media Files(*.wmv,*.asf)"),
                           QStringLiteral("AVI Files(*.avi)"),
                           QStringLiteral("QuickTime Files-Ver2 or less(*.mov)")}));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Adding, CancelledDialogsAddNothingAndShowNothing) {
    const QString x = tone(QStringLiteral("x.wav"));
    w.cmdAddFile->click();
    w.cmdAddVideoFile->click();
    w.cmdAddFolder->click();
    EXPECT_FALSE(w.fileAdder()->isBusy());
    EXPECT_EQ(dialogs.fileTitles.size(), 2);
    EXPECT_EQ(dialogs.folderTitles, QStringList{QStringLiteral("Select folder to add")});
    // A pick after them comes in alone: whatever the cancels had set going would come first.
    dialogs.files.push_back({x});
    w.cmdAddFile->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), QStringList{x});
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Adding, FolderButtonAddsTheFilesDirectlyInsideAndWarnsOnce) {
    // Only subfolders, with sound in them: nothing is listed.
    const QString hollow = dir.filePath(QStringLiteral("hollow"));
    tone(QStringLiteral("hollow/inner/deep.wav"));
    ASSERT_TRUE(QDir().mkpath(hollow + QStringLiteral("/empty")));
    dialogs.folders.push_back(hollow);
    w.cmdAddFolder->click();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Selected Folder is empty."));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Kelvanto"));
    EXPECT_FALSE(w.fileAdder()->isBusy());
    EXPECT_EQ(w.fileList()->rowCount(), 0);
    boxes.shown.clear();

    const QString album = dir.filePath(QStringLiteral("album"));
    const QString b = tone(QStringLiteral("album/b.wav"));
    const QString a =
        tone(QStringLiteral("album/a.mp3"), 2, {QStringLiteral("-b:a"), QStringLiteral("32k")});
    textFile(QStringLiteral("album/notes.txt"));
    const QString c = tone(QStringLiteral("album/bonus/c.wav"));
    // The dialog may hand the folder back with a trailing separator.
    dialogs.folders.push_back(album + QLatin1Char('/'));
    w.cmdAddFolder->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), (QStringList{a, b}));
    EXPECT_EQ(summaries(), 1);
    EXPECT_EQ(boxes.shown.size(), 1u);

    // The same folder again: nothing new, one more summary.
    dialogs.folders.push_back(album);
    w.cmdAddFolder->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), (QStringList{a, b}));
    EXPECT_EQ(summaries(), 2);
    EXPECT_EQ(boxes.shown.size(), 2u);

    // A disc image's folder gives the sheet's tracks; the data file beside it is the sheet's,
    // so nothing is said.
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("disc"))));
    const QString cue =
        WriteCdImage(dir.filePath(QStringLiteral("disc/disc.cue")),
                     dir.filePath(QStringLiteral("disc/disc.bin")), {{true, CdTone(75, 440)}});
    dialogs.folders.push_back(dir.filePath(QStringLiteral("disc")));
    w.cmdAddFolder->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), (QStringList{a, b, MakeCdTrackPath(cue, 1)}));
    EXPECT_EQ(boxes.shown.size(), 2u);

    // With sub-folders ticked, the button and a dropped folder bring the files below too.
    w.chkSubfolders->setChecked(true);
    dialogs.folders.push_back(album);
    w.cmdAddFolder->click();
    ASSERT_TRUE(waitIdle());
    ASSERT_TRUE(dropOnGrid({QUrl::fromLocalFile(hollow)}));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), (QStringList{a, b, MakeCdTrackPath(cue, 1), c, hollow + "/inner/deep.wav"}));
}

TEST_F(Adding, DroppedFilesAreAddedInOrderAndRefusalsSaySilent) {
    const QString z = tone(QStringLiteral("drop/z.wav"));
    const QString m =
        tone(QStringLiteral("drop/m.mp3"), 2, {QStringLiteral("-b:a"), QStringLiteral("32k")});
    const QString a = tone(QStringLiteral("drop/a.flac"));
    const QString picture = dir.filePath(QStringLiteral("drop/cover.png"));
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(picture));
    ASSERT_TRUE(dropOnGrid({QUrl::fromLocalFile(z), QUrl::fromLocalFile(picture),
                            QUrl::fromLocalFile(m), QUrl::fromLocalFile(a)}));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), (QStringList{z, m, a}));
    EXPECT_TRUE(boxes.shown.empty());

    // Again, with folders (one named like a sound), a pipe named like one and a web address:
    // all refused, still nothing said.
    const QString folderLike = dir.filePath(QStringLiteral("drop/folder.wav"));
    ASSERT_TRUE(QDir().mkpath(folderLike));
    const QString pipe = dir.filePath(QStringLiteral("drop/pipe.mp3"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(dropOnGrid({QUrl::fromLocalFile(a), QUrl::fromLocalFile(dir.filePath("drop")),
                            QUrl::fromLocalFile(folderLike), QUrl::fromLocalFile(pipe),
                            QUrl(QStringLiteral("https://example.org/x.mp3"))}));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), (QStringList{z, m, a}));
    EXPECT_TRUE(boxes.shown.empty());

    // A drag without file names is not taken, nor one that could only move the files.
    EXPECT_FALSE(dropOnGrid({}, QStringLiteral("/just/some/text.wav")));
    const QString moved = tone(QStringLiteral("drop/moved.wav"));
    EXPECT_FALSE(dropOnGrid({QUrl::fromLocalFile(moved)}, {}, Qt::MoveAction));
    // A drop taken after them comes in alone: anything they had set going would come first.
    const QString later = tone(QStringLiteral("drop/later.wav"));
    ASSERT_TRUE(dropOnGrid({QUrl::fromLocalFile(later)}));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), (QStringList{z, m, a, later}));
    EXPECT_TRUE(QFileInfo::exists(moved));
}

TEST_F(Adding, LargeFolderKeepsTheWindowResponsive) {
    const QString big = dir.filePath(QStringLiteral("big"));
    const QStringList files = WavCopies(big, 2000);
    textFile(QStringLiteral("big/readme.txt"));
    const QString late = tone(QStringLiteral("late.wav"));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    // The files after the first hundred are held until the strip has been seen twice and the
    // drop is in, so the check never races the add.
    std::mutex gate;
    std::condition_variable wake;
    bool open = false;
    std::atomic<int> measures{0};
    w.fileAdder()->setMeasure([&](const QString& path, const std::atomic<bool>* cancel) {
        if (++measures > 100) {
            std::unique_lock<std::mutex> lock(gate);
            while (!open && !cancel->load())
                wake.wait_for(lock, std::chrono::milliseconds(1));
        }
        return MeasureFile(path, cancel);
    });
    auto release = [&] {
        std::lock_guard<std::mutex> lock(gate);
        open = true;
        wake.notify_all();
    };

    int ticks = 0, ticksWhileVisible = 0;
    qint64 longestGap = 0, lastTick = 0;
    QString shownText;
    bool dropped = false;
    QElapsedTimer clock;
    QTimer timer;
    timer.setInterval(10);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
        ++ticks;
        if (w.frAdding->isVisible()) {
            ++ticksWhileVisible;
            if (shownText.isEmpty()) {
                shownText = w.lblAdding->text();
                // KV_ADDING_PICTURE=<path> keeps a picture of the strip.
                const QByteArray out = qgetenv("KV_ADDING_PICTURE");
                if (!out.isEmpty()) {
                    EXPECT_TRUE(w.grab().save(QString::fromLocal8Bit(out), "PNG"));
                }
            }
            // A drop while the folder is being added waits behind it.
            if (!dropped) {
                dropped = true;
                EXPECT_TRUE(dropOnGrid({QUrl::fromLocalFile(late)}));
            } else {
                release();
            }
        }
    });

    dialogs.folders.push_back(big);
    clock.start();
    timer.start();
    w.cmdAddFolder->click();
    ASSERT_TRUE(w.pathExpander()->isBusy() || w.fileAdder()->isBusy());
    const bool idle = waitIdle();
    release();
    ASSERT_TRUE(idle);
    const qint64 took = clock.elapsed();
    timer.stop();

    EXPECT_EQ(paths(), files + QStringList{late});
    EXPECT_EQ(summaries(), 1); // readme.txt
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_FALSE(w.frAdding->isVisible());
    // The timer kept firing throughout: a window blocked by the add would not tick at all.
    EXPECT_GE(ticks, 5) << "add took " << took << " ms";
    EXPECT_LT(longestGap, std::max<qint64>(1000, took / 4)) << "add took " << took << " ms";
    EXPECT_GE(ticksWhileVisible, 2);
    EXPECT_TRUE(dropped);
    const QRegularExpression shape(QStringLiteral("^Adding files\\.\\.\\. (\\d+) / 2001$"));
    const QRegularExpressionMatch match = shape.match(shownText);
    ASSERT_TRUE(match.hasMatch()) << shownText.toStdString();
    EXPECT_LT(match.captured(1).toInt(), 2001);
}

TEST_F(Adding, ClosingDuringAnAddStopsIt) {
    const QStringList files = WavCopies(dir.filePath(QStringLiteral("big")), 1500);
    w.show();
    dialogs.folders.push_back(dir.filePath(QStringLiteral("big")));
    w.cmdAddFolder->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.fileList()->rowCount() >= 30; }, 60000));
    // A second pick waits behind the first; the close drops it too.
    dialogs.files.push_back({files.first()});
    w.cmdAddFile->click();
    w.close();
    EXPECT_FALSE(w.fileAdder()->isBusy());
    const int kept = w.fileList()->rowCount();
    EXPECT_LT(kept, 1500);
    // The measures the workers had handed over before the close add nothing.
    ASSERT_TRUE(DeliverPostedEvents());
    EXPECT_EQ(w.fileList()->rowCount(), kept);
    EXPECT_EQ(paths(), files.mid(0, kept));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Adding, TheRealPickersAnsweredFromTheTest) {
    SetFileDialogs(nullptr);
    const QString a = tone(QStringLiteral("real/a.wav"));
    const QString c = tone(QStringLiteral("real/c.flac"));
    QString title;
    QStringList filters;
    answerDialog([&](QFileDialog* d) {
        title = d->windowTitle();
        filters = d->nameFilters();
        d->setDirectory(dir.filePath(QStringLiteral("real")));
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(QStringLiteral("\"c.flac\" \"a.wav\""));
        static_cast<QDialog*>(d)->accept(); // QFileDialog hides it
    });
    w.cmdAddFile->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), (QStringList{c, a}));
    EXPECT_EQ(title, QStringLiteral("Select one or more audio files"));
    ASSERT_EQ(filters.size(), 21);
    EXPECT_TRUE(filters.first().startsWith(QStringLiteral("All Supported Audio Formats (*.cda")));

    // Cancelled, the video picker adds nothing.
    answerDialog([](QFileDialog* d) { d->reject(); });
    w.cmdAddVideoFile->click();
    EXPECT_FALSE(w.fileAdder()->isBusy());
    EXPECT_EQ(w.fileList()->rowCount(), 2);

    // The folder picker: both files are in already, so one summary.
    answerDialog([&](QFileDialog* d) {
        title = d->windowTitle();
        d->setDirectory(dir.path());
        d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("real"));
        static_cast<QDialog*>(d)->accept(); // QFileDialog hides it
    });
    w.cmdAddFolder->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(title, QStringLiteral("Select folder to add"));
    EXPECT_EQ(w.fileList()->rowCount(), 2);
    EXPECT_EQ(summaries(), 1);
}

TEST_F(Adding, NamesThatAreNotUtf8ComeInByFolderDropAndPick) {
    const QString byFolder = byteNamed("/bytes/caf\xE9.wav", 2);
    dialogs.folders.push_back(dir.filePath(QStringLiteral("bytes")));
    w.cmdAddFolder->click();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(paths(), QStringList{byFolder});
    EXPECT_EQ(w.fileList()->row(0).Duration, QStringLiteral("00:02"));
    EXPECT_EQ(w.fileList()->row(0).Status, kStatusWaiting);

    // A drag carries the name's bytes percent-encoded; a dialog hands it over decoded, with
    // U+FFFD for each odd byte.
    const QString dropped = byteNamed("/dr\xF6p.wav", 3);
    ASSERT_TRUE(
        dropOnGrid({QUrl::fromEncoded("file://" + NativePath(dropped).toPercentEncoding("/"))}));
    ASSERT_TRUE(waitIdle());
    const QString picked = byteNamed("/pick\xEE.wav", 4);
    dialogs.files.push_back({DisplayPath(picked)});
    w.cmdAddFile->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(paths(), (QStringList{byFolder, dropped, picked}));
    EXPECT_EQ(w.fileList()->row(2).Duration, QStringLiteral("00:04"));
    EXPECT_TRUE(boxes.shown.empty());

    // Two names that look alike once decoded: which one was meant cannot be told.
    const QString twin = byteNamed("/twin\xE9.wav");
    byteNamed("/twin\xE8.wav");
    dialogs.files.push_back({DisplayPath(twin)});
    w.cmdAddFile->click();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(w.fileList()->rowCount(), 3);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, kSummary + QStringLiteral("\n\n") + DisplayPath(twin));
}

// The list in every state, as the picture in docs/screenshot.png (scripts/make-pictures.sh)
// shows it.
TEST_F(Adding, PictureOfAListInMixedStates) {
    QTemporaryDir music(QDir::tempPath() + QStringLiteral("/Music-XXXXXX"));
    const QStringList mp3{QStringLiteral("-b:a"), QStringLiteral("32k")};
    const QStringList ogg{QStringLiteral("-c:a"), QStringLiteral("libvorbis")};
    struct Entry {
        const char* name;
        double seconds;
        QStringList args;
    };
    const std::vector<Entry> entries = {
        {"01 Morning Light.mp3", 187, mp3}, {"02 Harbour Lights.wav", 224, {}},
        {"03 Night Train.ogg", 251, ogg},   {"04 Paper Boats.flac", 163, {}},
        {"05 broken download.mp3", 0, {}},  {"06 Silver Lining.mp3", 205, mp3},
        {"07 Interview.mp3", 1312, mp3},    {"08 Rooftops.ogg", 238, ogg},
        {"09 Field Recording.wav", 94, {}}, {"10 Slow River.flac", 276, {}},
        {"11 Lullaby.wav", 142, {}},        {"12 Last Call.mp3", 199, mp3},
    };
    QStringList pick;
    for (const Entry& e : entries) {
        const QString p = music.filePath(QString::fromUtf8(e.name));
        if (e.seconds == 0)
            ASSERT_TRUE(WriteBytes(p, QByteArray(30000, 'x')));
        else
            ASSERT_TRUE(MakeSine(p, e.seconds, 8000, 1, e.args));
        pick << p;
    }
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    dialogs.files.push_back(pick);
    w.cmdAddFile->click();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(w.fileList()->rowCount(), 12);

    FileListModel* model = w.fileListModel();
    const QColor green(113, 177, 98), red(220, 10, 10);
    const auto finish = [&](int row, int key, const char* text, const QColor& colour) {
        ASSERT_TRUE(model->setStatus(row, GetCaption(key, QString::fromUtf8(text))));
        model->setCellColor(row, FileListColumn::Status, colour);
    };
    finish(0, 20014, "Complete", green);
    finish(1, 20014, "Complete", green);
    ASSERT_TRUE(model->setStatus(2, QStringLiteral("64")));
    finish(5, 20008, "Cancelled", red);
    finish(6, 20013, "Error", red);
    model->setCheckBox(7, 1);
    model->setCheckBox(9, 1);
    EXPECT_EQ(w.fileList()->row(3).Status, kStatusWaiting);
    EXPECT_EQ(w.fileList()->row(4).Status, kStatusNotSupported);
    EXPECT_EQ(w.fileList()->row(0).Status, QStringLiteral("Complete"));
    EXPECT_EQ(w.fileList()->row(5).Status, QStringLiteral("Cancelled"));
    EXPECT_EQ(w.fileList()->row(6).Status, QStringLiteral("Error"));
    EXPECT_EQ(w.fileList()->row(6).Duration, QStringLiteral("21:52"));
    QApplication::processEvents();

    const QImage shot = w.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    // The progress row shows the bar colour in its Status cell, the finished rows their text
    // colours.
    const QRect status = w.Grid->visualRect(w.Grid->model()->index(2, 3));
    const QPoint origin = w.Grid->viewport()->mapTo(&w, QPoint(0, 0));
    const QRect cell = status.translated(origin);
    const qreal dpr = shot.devicePixelRatio();
    auto countColour = [&](const QRect& r, const QColor& c) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += shot.pixelColor(QPoint(x, y) * dpr) == c;
        return n;
    };
    EXPECT_GT(countColour(cell.adjusted(1, 1, -cell.width() / 2, -1), QColor(113, 135, 79)),
              cell.height() * 10);
    const QRect done = w.Grid->visualRect(w.Grid->model()->index(0, 3)).translated(origin);
    EXPECT_GT(countColour(done, green), 3);
    const QRect failed = w.Grid->visualRect(w.Grid->model()->index(6, 3)).translated(origin);
    EXPECT_GT(countColour(failed, red), 3);
    const QRect unsupported = w.Grid->visualRect(w.Grid->model()->index(4, 4)).translated(origin);
    EXPECT_GT(countColour(unsupported, red), 3);
}
