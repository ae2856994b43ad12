// Preview on a sound server: the time from a "Play" click to the first decoded audio going to
// the sink (a 44.1 kHz MP3 and a FLAC, median of 15 clicks each), and the CPU a stretch of
// playback costs the whole process (user and system time over wall time, in % of one core).
// Needs a sound server: bench/preview_bench.sh starts a private one with a null sink.
// Usage: preview-bench [seconds of playback, default 60]
#include "BenchSupport.h"
#include "app/PreviewControls.h"
#include "app/frmMain.h"
#include "ui/MyButton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kv;

namespace {

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool makeSource(const QString& path, const QStringList& codec) {
    return QProcess::execute("ffmpeg",
                             QStringList{"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                         "sine=frequency=440:sample_rate=44100:duration=120", "-ac",
                                         "2"} +
                                 codec + QStringList{path}) == 0;
}

// Clicks "Play" on row `row` and waits for the first audio; milliseconds, or -1.
double clickToFirstAudio(frmMain& w, int row) {
    PreviewPlayer& player = w.preview()->player();
    w.Grid->clearSelection();
    w.Grid->selectRow(row);
    QEventLoop loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    bool started = false;
    QElapsedTimer clock;
    auto c = QObject::connect(&player, &PreviewPlayer::audioStarted, &loop, [&] {
        started = true;
        loop.quit();
    });
    clock.start();
    w.cmdPlay->click();
    if (!started)
        loop.exec();
    const double ms = clock.nsecsElapsed() / 1e6;
    QObject::disconnect(c);
    w.cmdStop->click();
    return started ? ms : -1;
}

} // namespace

int main(int argc, char** argv) {
    WindowBench bench(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;

    QTemporaryDir dir;
    const QString mp3 = dir.filePath("song.mp3"), flac = dir.filePath("song.flac");
    if (!makeSource(mp3, {"-c:a", "libmp3lame", "-b:a", "192k"}) ||
        !makeSource(flac, {"-c:a", "flac"})) {
        std::fprintf(stderr, "ffmpeg could not make the sources\n");
        return 1;
    }
    frmMain w;
    if (!w.load()) {
        std::fprintf(stderr, "no output device: run bench/preview_bench.sh\n");
        return 1;
    }
    for (QString path : {mp3, flac})
        w.AddFile2Grid(path);

    for (int row = 0; row < 2; ++row) {
        std::vector<double> ms;
        for (int i = 0; i < 15; ++i)
            ms.push_back(clickToFirstAudio(w, row));
        std::sort(ms.begin(), ms.end());
        if (ms.front() < 0) {
            std::fprintf(stderr, "the sink never took audio\n");
            return 1;
        }
        std::printf(
            "Play click to first audio, %s: median %.1f ms (min %.1f, max %.1f, 15 clicks)\n",
            row == 0 ? "MP3 44.1 kHz" : "FLAC 44.1 kHz", ms[7], ms.front(), ms.back());
    }

    // Playback of the MP3, with the window's event loop running as it would.
    w.Grid->clearSelection();
    w.Grid->selectRow(0);
    w.cmdPlay->click();
    QEventLoop loop;
    QTimer::singleShot(500, &loop, &QEventLoop::quit); // past the start
    loop.exec();
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = cpuSeconds() - cpu0, secs = wall.nsecsElapsed() / 1e9;
    const bool playing = w.preview()->player().state() == PreviewPlayer::State::Playing;
    std::printf("%.0f s of MP3 playback: %.2f %% of one core (%.2f s CPU)%s\n", secs,
                100.0 * cpu / secs, cpu, playing ? "" : " (NOT PLAYING)");
    w.cmdStop->click();
    return playing ? 0 : 1;
}
