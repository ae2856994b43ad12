// Takes the pictures of the README and the manual from the real window: a list of files in
// mixed states, the options panel up, and the about panel up.
//   kv-screenshots OUTDIR   (writes window.png, options.png and about.png)
// scripts/make-pictures.sh runs it under Xvfb with a private sound server. It keeps its own
// home folder, so the settings of whoever runs it are not touched.
#include "app/frmMain.h"
#include "filelist/FileAdder.h"
#include "filelist/PathExpansion.h"
#include "lang/Captions.h"
#include "settings/ProgramFolder.h"
#include "ui/MyButton.h"
#include "ui/PanelAnimation.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <cstdio>

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

} // namespace

int main(int argc, char** argv) {
    // A short home of its own: the pictures show its paths.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/home-XXXXXX"));
    qputenv("HOME", QFile::encodeName(home.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvanto"));
    QApplication::setOrganizationName(QStringLiteral("Kelvanto"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: kv-screenshots OUTDIR\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.path());
    kv::SetProgramFolder(QStringLiteral(KV_PROGRAM_DIR));

    QDir music(home.filePath(QStringLiteral("Music")));
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

    // A batch half-way: two files done, one at 64 %, one cancelled, one failed, two ticked.
    kv::FileListModel* model = w.fileListModel();
    const QColor green(113, 177, 98), red(220, 10, 10);
    auto finish = [&](int row, int key, const char* text, const QColor& colour) {
        model->setStatus(row, kv::GetCaption(key, QString::fromUtf8(text)));
        model->setCellColor(row, kv::FileListColumn::Status, colour);
    };
    finish(0, 20014, "Complete", green);
    finish(1, 20014, "Complete", green);
    model->setStatus(2, QStringLiteral("64"));
    finish(5, 20008, "Cancelled", red);
    finish(6, 20013, "Error", red);
    model->setCheckBox(7, 1);
    model->setCheckBox(9, 1);

    bool saved = shot(w).save(out.filePath(QStringLiteral("window.png")));
    w.cmdChangeFormat->click();
    saved = shot(w).save(out.filePath(QStringLiteral("options.png"))) && saved;
    w.cmdHide->click();
    settle(w);
    w.cmdAbout->click();
    saved = shot(w).save(out.filePath(QStringLiteral("about.png"))) && saved;
    w.cmdCloseHelp->click();
    settle(w);
    w.close();
    return saved ? 0 : 1;
}
