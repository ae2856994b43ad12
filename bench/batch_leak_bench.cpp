// A batch of many short files in every output format, through the converters the window uses:
// open file descriptors, threads and child processes are counted after a warm-up batch and
// again at the end; any growth is a leak (exit status 1).
//   build/bench/batch-leak-bench [files per format]
#include "convert/BatchDriver.h"
#include "convert/Converters.h"
#include "convert/SettingsOptions.h"
#include "engine/Decoders.h"
#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdio>

using namespace kv;

namespace {
struct Counts {
    int fds = 0, threads = 0, children = 0;
};

Counts count() {
    Counts c;
    c.fds = int(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
    c.threads = int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    const QByteArray self = QByteArray::number(::getpid());
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f("/proc/" + pid + "/stat");
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = f.readAll();
        const QList<QByteArray> rest = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        c.children += rest.size() > 1 && rest[1] == self;
    }
    return c;
}

// One batch over `sources` in `format`; how many files ended Complete.
int runBatch(int format, const QStringList& sources, const QString& out) {
    BatchDriver driver;
    RegisterConverters(driver);
    // The encoder settings a new user starts with.
    ConversionOptions options = ConversionOptionsFrom(OutputSettings{});
    options.outputFormat = format;
    options.folder = {false, out};
    driver.setOptions(options);
    int complete = 0;
    QEventLoop loop;
    QObject::connect(&driver, &BatchDriver::fileFinished, &loop,
                     [&](FileListRowId, FileOutcome o) { complete += o == FileOutcome::Complete; });
    QObject::connect(&driver, &BatchDriver::finished, &loop, &QEventLoop::quit);
    std::vector<BatchRow> rows;
    for (const QString& s : sources)
        rows.push_back({FileListRowId(rows.size() + 1), s, true, true});
    driver.start(rows, false);
    loop.exec();
    return complete;
}
} // namespace

int main(int argc, char** argv) {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    RegisterDecoders();
    const int files = argc > 1 ? std::atoi(argv[1]) : 1000;
    QTemporaryDir dir;
    SetProgramFolder(dir.filePath("prog"));
    QDir().mkpath(dir.filePath("prog"));
    const QString one = dir.filePath("one.flac");
    QProcess::execute("ffmpeg",
                      {"-v", "error", "-nostdin", "-f", "lavfi", "-i",
                       "sine=frequency=440:sample_rate=44100:duration=0.2", "-ac", "2", one});
    QStringList sources;
    for (int i = 0; i < files; ++i) {
        sources << dir.filePath(QStringLiteral("in/%1.flac").arg(i));
        QDir().mkpath(dir.filePath("in"));
        QFile::copy(one, sources.last());
    }
    const int formats[] = {kFormatWAV, kFormatWMA, kFormatMP3, kFormatOGG};
    for (const int format : formats)
        runBatch(format, sources.mid(0, 2), dir.filePath("warm"));
    const Counts before = count();

    bool ok = true;
    QElapsedTimer clock;
    clock.start();
    for (const int format : formats) {
        const QString out = dir.filePath("out-" + OutputExtension(format));
        const int complete = runBatch(format, sources, out);
        const int made = int(QDir(out).entryList(QDir::Files).size());
        std::printf("%s: %d of %d complete, %d files written\n",
                    qPrintable(OutputExtension(format)), complete, files, made);
        ok &= complete == files && made == files;
        QDir(out).removeRecursively();
    }
    const Counts after = count();
    std::printf("%d conversions in %.1f s; before/after: fds %d/%d, threads %d/%d, child "
                "processes %d/%d\n",
                4 * files, clock.elapsed() / 1000.0, before.fds, after.fds, before.threads,
                after.threads, before.children, after.children);
    ok &= after.fds <= before.fds && after.threads <= before.threads &&
          after.children <= before.children;
    SetProgramFolder(QString());
    return ok ? 0 : 1;
}
