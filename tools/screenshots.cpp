// Takes the pictures of the README and the manual from the real window: a batch under way
// over a list of files in mixed states, the options panel up, the page of each format encoded
// in-process, and the about panel up.
//   kv-screenshots OUTDIR HOME   (writes window.png, options.png, about.png and
//                                 options-<format>.png: options-flac.png...)
// HOME must be a fresh folder (no .config or Music in it): it becomes the home folder whose
// music the pictures show, so give it an ordinary name (scripts/make-pictures.sh uses
// /home/user). The settings of whoever runs it are not touched. It runs under Xvfb with a private
// sound server.
#include "app/frmMain.h"
#include "convert/Converters.h"
#include "filelist/FileAdder.h"
#include "filelist/PathExpansion.h"
#include "formats/Format.h"
#include "lang/Captions.h"
#include "settings/ProgramFolder.h"
#include "ui/FramePanel.h"
#include "ui/MyButton.h"
#include "ui/PanelAnimation.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <condition_variable>
#include <cstdio>
#include <mutex>

namespace {

struct Sample {
    const char* name;
    int seconds; // 0: not audio at all
    const char* codec;
};

// What a music folder holds; the list shows every kind of row.
constexpr Sample kSamples[] = {
    {"01 Morning Light.mp3", 187, "libmp3lame"},
    {"02 Harbour Lights.wav", 224, nullptr},
    {"03 Night Train.ogg", 251, "libvorbis"},
    {"04 Paper Boats.flac", 163, nullptr},
    {"05 broken download.mp3", 0, nullptr},
    {"06 Silver Lining.mp3", 205, "libmp3lame"},
    {"07 Interview.mp3", 1312, "libmp3lame"},
    {"08 Rooftops.ogg", 238, "libvorbis"},
    {"09 Field Recording.wav", 94, nullptr},
    {"10 Slow River.flac", 276, nullptr},
    {"11 Lullaby.wav", 142, nullptr},
    {"12 Last Call.mp3", 199, "libmp3lame"},
};

bool makeSample(const QString& path, const Sample& s) {
    if (s.seconds == 0) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(QByteArray(30000, 'x')) == 30000;
    }
    QStringList args = {
        QStringLiteral("-nostdin"),
        QStringLiteral("-y"),
        QStringLiteral("-v"),
        QStringLiteral("error"),
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("sine=frequency=440:sample_rate=8000:duration=%1").arg(s.seconds)};
    if (s.codec)
        args << QStringLiteral("-c:a") << QString::fromLatin1(s.codec);
    args << path;
    return QProcess::execute(QStringLiteral("ffmpeg"), args) == 0;
}

void settle(kv::frmMain& w) {
    while (w.tmrAnimate->isActive())
        w.animation()->Tick();
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
}

// The window as the display shows it; the widgets' own rendering where there is no display.
QImage shot(kv::frmMain& w) {
    settle(w);
    QScreen* screen = w.screen();
    QPixmap pm;
    if (QGuiApplication::platformName() == QLatin1String("xcb") && screen)
        pm = screen->grabWindow(w.winId());
    if (pm.isNull() || pm.size() != w.size() * w.devicePixelRatio())
        pm = w.grab();
    return pm.toImage();
}

// Runs the window's events until `done` holds; false after two minutes.
template <typename Done> bool waitFor(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 120000)
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// Holds the conversion of one file at a given percent until it is let go, so the picture of a
// batch under way is the same every time; every other file converts for real.
class HeldFile {
public:
    HeldFile(QString name, double percent) : name_(std::move(name)), percent_(percent) {}
    kv::Converter wrap(kv::Converter real) {
        return [this, real](const QString& source, const QString& output,
                            const kv::ConversionOptions& options, kv::ConversionControl& control) {
            if (QFileInfo(source).fileName() != name_)
                return real(source, output, options, control);
            control.progress(percent_);
            std::unique_lock<std::mutex> lock(mutex_);
            released_.wait(lock, [this] { return free_; });
            return kv::FileOutcome::Cancelled;
        };
    }
    void letGo() {
        std::lock_guard<std::mutex> lock(mutex_);
        free_ = true;
        released_.notify_all();
    }

private:
    QString name_;
    double percent_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool free_ = false;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kv-screenshots OUTDIR HOME\n");
        return 2;
    }
    const QString homePath = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
    // A real home is never written into: one with settings or music of its own is refused.
    const QDir homeDir(homePath);
    if (!homeDir.exists() || homeDir.exists(QStringLiteral(".config")) ||
        homeDir.exists(QStringLiteral("Music"))) {
        std::fprintf(stderr, "kv-screenshots: %s is not a fresh folder\n", argv[2]);
        return 2;
    }
    qputenv("HOME", QFile::encodeName(homePath));
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qunsetenv(name);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvanto"));
    QApplication::setOrganizationName(QStringLiteral("Kelvanto"));
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    kv::SetProgramFolder(QStringLiteral(KV_PROGRAM_DIR));

    QDir music(QDir(homePath).filePath(QStringLiteral("Music")));
    QDir().mkpath(music.path());
    QStringList files;
    for (const Sample& s : kSamples) {
        files << music.filePath(QString::fromUtf8(s.name));
        if (!makeSample(files.last(), s)) {
            std::fprintf(stderr, "kv-screenshots: ffmpeg could not make %s\n", s.name);
            return 1;
        }
    }

    kv::frmMain w;
    if (!w.load())
        return 1;
    w.move(0, 0);
    w.show();
    w.AddPaths(files);
    // The paths are expanded first, then picked: both idle means all rows are in.
    while (w.pathExpander()->isBusy() || w.fileAdder()->isBusy() || !w.isVisible())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (w.fileListModel()->rowCount() != files.size()) {
        std::fprintf(stderr, "kv-screenshots: %d of %lld samples were added\n",
                     w.fileListModel()->rowCount(), static_cast<long long>(files.size()));
        return 1;
    }

    // What an earlier batch left: one file cancelled, one failed; two rows ticked.
    kv::FileListModel* model = w.fileListModel();
    const QColor red(220, 10, 10);
    auto finish = [&](int row, int key, const char* text) {
        model->setStatus(row, kv::GetCaption(key, QString::fromUtf8(text)));
        model->setCellColor(row, kv::FileListColumn::Status, red);
    };
    finish(5, 20008, "Cancelled");
    finish(6, 20013, "Error");
    model->setCheckBox(7, 1);
    model->setCheckBox(9, 1);

    bool saved = true;
    w.cmdChangeFormat->click();
    saved = shot(w).save(out.filePath(QStringLiteral("options.png"))) && saved;
    // Each in-process format's page: the options panel alone, its button chosen.
    QRadioButton* chosen = nullptr;
    for (QRadioButton* o : w.optFileFormat)
        chosen = o->isChecked() ? o : chosen;
    for (const kv::Format* f : kv::EncodedFormats()) {
        w.optFileFormat[f->id()]->click();
        const QImage window = shot(w);
        const qreal dpr = window.devicePixelRatio();
        const QRect panel(w.frFormats->pos() * dpr, w.frFormats->size() * dpr);
        const QString name = QStringLiteral("options-%1.png").arg(f->name().toLower());
        saved = window.copy(panel).save(out.filePath(name)) && saved;
    }
    if (chosen)
        chosen->click();
    w.cmdHide->click();
    settle(w);
    w.cmdAbout->click();
    saved = shot(w).save(out.filePath(QStringLiteral("about.png"))) && saved;
    w.cmdCloseHelp->click();
    settle(w);

    // "Convert All": the first two files convert, the third is held at 64 %.
    HeldFile held(QFileInfo(files[2]).fileName(), 64);
    const int format = w.CurrentConversionOptions().outputFormat;
    w.batch()->setConverter(format, held.wrap(kv::ConverterFor(format)));
    w.cmdConvert->click();
    const auto& list = *w.fileList();
    const bool reached = waitFor([&] {
        return list.row(0).Status == kv::GetCaption(20014, QStringLiteral("Complete")) &&
               list.row(1).Status == kv::GetCaption(20014, QStringLiteral("Complete")) &&
               list.row(2).Status == QStringLiteral("64");
    });
    if (!reached)
        std::fprintf(stderr, "kv-screenshots: the batch did not reach the third file\n");
    else
        saved = shot(w).save(out.filePath(QStringLiteral("window.png"))) && saved;
    w.cmdConvert->click(); // Stop
    held.letGo();
    const bool ended = waitFor([&] { return !w.batch()->isRunning(); });
    w.close();
    return saved && reached && ended ? 0 : 1;
}
