// The window's longest event-loop stall while a batch converts: a 1 ms timer runs on the
// window's thread during "Convert All" over 20 FLAC files, and the longest gap between its
// ticks is the stall. Median of 5 batches.
#include "BenchSupport.h"
#include "app/frmMain.h"
#include "engine/Decoders.h"
#include "ui/MyButton.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kv;

int main(int argc, char** argv) {
    WindowBench bench(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 20;

    QTemporaryDir dir;
    const QString source = dir.filePath("source.flac");
    QProcess::execute("ffmpeg", {"-v", "error", "-nostdin", "-f", "lavfi", "-i",
                                 "sine=frequency=440:sample_rate=44100:duration=30", "-ac", "2",
                                 "-c:a", "flac", source});

    std::vector<double> stalls, totals;
    for (int run = 0; run < 5; ++run) {
        QTemporaryDir out;
        frmMain w;
        w.load(); // without a sound server the engine is not started; conversion needs none
        RegisterDecoders();
        w.show();
        w.optFileFormat[kFormatWAV]->setChecked(true);
        w.optOtherFolder->setChecked(true);
        w.txtOutPath->setText(out.path());
        for (int i = 0; i < files; ++i) {
            QString path = dir.filePath(QStringLiteral("run%1-%2.flac").arg(run).arg(i));
            QFile::copy(source, path);
            w.AddFile2Grid(path);
        }
        StallMeter stall;
        QEventLoop loop;
        QObject::connect(&w, &frmMain::batchEnded, &loop, &QEventLoop::quit);
        stall.start();
        w.cmdConvert->click();
        loop.exec();
        stall.stop();
        stalls.push_back(stall.worstNs() / 1e6);
        totals.push_back(stall.elapsedNs() / 1e6);
    }
    std::sort(stalls.begin(), stalls.end());
    std::sort(totals.begin(), totals.end());
    std::printf("batch of %d x 30 s FLAC to WAV (median of 5): longest stall %.1f ms (worst run "
                "%.1f ms), batch %.0f ms\n",
                files, stalls[2], stalls[4], totals[2]);
    return 0;
}
