// A folder of 10,000 short audio files added to the real window through "Add Folder": the time
// until the last row is in, the memory it takes, and the window's longest event-loop stall
// meanwhile (a 1 ms timer on its thread). One run; the folder is made first.
//   build/bench/folder-load-bench [files] [folder]
#include "BenchSupport.h"
#include "app/frmMain.h"
#include "filelist/FileAdder.h"
#include "ui/FileDialogs.h"
#include "ui/MyButton.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

using namespace kv;

namespace {
class FolderAnswer final : public FileDialogs {
public:
    explicit FolderAnswer(QString folder) : folder_(std::move(folder)) { SetFileDialogs(this); }
    ~FolderAnswer() override { SetFileDialogs(nullptr); }
    QStringList chooseFiles(QWidget*, const QString&, const std::vector<DialogFilter>&) override {
        return {};
    }
    QString chooseFolder(QWidget*, const QString&) override { return folder_; }

private:
    QString folder_;
};

long rssKb(const char* field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    return -1;
}
} // namespace

int main(int argc, char** argv) {
    WindowBench bench(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 10000;
    QTemporaryDir scratch;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : scratch.filePath("many");

    // Half a second of FLAC, WAV and MP3 in turn, so every prober is used.
    QDir().mkpath(folder);
    const QStringList kinds = {"flac", "wav", "mp3"};
    for (const QString& kind : kinds) {
        const QString one = scratch.filePath("one." + kind);
        QProcess::execute("ffmpeg", {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                     "sine=frequency=440:sample_rate=22050:duration=0.5", one});
    }
    for (int i = 0; i < files; ++i) {
        const QString kind = kinds[i % kinds.size()];
        const QString path =
            QStringLiteral("%1/track %2.%3").arg(folder).arg(i, 5, 10, QChar('0')).arg(kind);
        if (!QFileInfo::exists(path))
            QFile::copy(scratch.filePath("one." + kind), path);
    }

    frmMain w;
    w.load();
    w.show();
    QApplication::processEvents();
    FolderAnswer answer(folder);
    const long rssBefore = rssKb("VmRSS:");

    StallMeter stall;
    QEventLoop loop;
    bool started = false;
    QObject::connect(w.fileAdder(), &FileAdder::busyChanged, &loop, [&](bool busy) {
        started |= busy;
        if (started && !busy)
            loop.quit();
    });
    stall.start();
    QTimer::singleShot(0, w.cmdAddFolder, [&] { w.cmdAddFolder->click(); });
    loop.exec();
    stall.stop();
    const double seconds = stall.elapsedNs() / 1e9;
    const qint64 worst = stall.worstNs();
    const int rows = w.fileList()->rowCount();
    std::printf("%d files added in %.2f s (%.0f files/s); rows %d; longest stall %.1f ms; "
                "resident memory %.1f MB before, %.1f MB after, peak %.1f MB\n",
                files, seconds, files / seconds, rows, worst / 1e6, rssBefore / 1024.0,
                rssKb("VmRSS:") / 1024.0, rssKb("VmHWM:") / 1024.0);
    return rows == files && worst < 100000000 ? 0 : 1;
}
