// The length probe's speed and bounds, in four cases:
//   mixed [FILES]  files measured per second over generated files of mixed formats, beside an
//                  ffprobe loop over the same files, and the probe's peak memory (default 500);
//   wavs [FILES]   a folder of one-second WAV files added through the file adder, as the folder
//                  button does: files per second until the last row is in (default 10,000);
//   junk [MiB]     files that are not audio (zeros, random bytes) of that size under every
//                  accepted extension, each refused in a process of its own: time and peak
//                  memory (default 1024);
//   cancel         how long cancelling an add takes while the worker probes such files.
// Without a case name all four run; a number alone runs `mixed` with that many files.
#include "MediaTools.h"
#include "SynthFixtures.h"
#include "engine/Decoders.h"
#include "filelist/FileAdder.h"
#include "filelist/LengthProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kvtest;

extern char** environ;

namespace {

long peakKiB(int who) {
    rusage u{};
    getrusage(who, &u);
    return u.ru_maxrss;
}

struct NoHost final : kv::AddFileHost {
    void ShowAddFileError(const QString&) override {}
};

int mixed(int count) {
    QTemporaryDir dir;
    // One source of each kind, five seconds long, copied under distinct names.
    const QStringList noArgs;
    struct Source {
        const char* name;
        QStringList args;
    };
    const QList<Source> sources = {
        {"s.wav", noArgs},
        {"s.flac", noArgs},
        {"s.mp3", {QStringLiteral("-b:a"), QStringLiteral("128k")}},
        {"s.ogg", {QStringLiteral("-c:a"), QStringLiteral("libvorbis")}},
        {"s.wma", noArgs},
        {"s.mp4", noArgs},
        {"s.ac3", noArgs},
        {"s.tta", noArgs},
    };
    QStringList kinds;
    for (const Source& s : sources) {
        const QString path = dir.filePath(QString::fromLatin1(s.name));
        if (!MakeSine(path, 5.0, 44100, 2, s.args)) {
            std::fprintf(stderr, "could not make %s\n", s.name);
            return 1;
        }
        kinds << path;
    }
    const QString video = dir.filePath(QStringLiteral("s.avi"));
    if (!MakeVideo(video, 5.0, {QStringLiteral("-c:v"), QStringLiteral("mpeg4")}))
        return 1;
    kinds << video;
    const QString mid = dir.filePath(QStringLiteral("s.mid"));
    WriteBytes(mid, MakeMidiFile());
    kinds << mid;

    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString& src = kinds[i % kinds.size()];
        const QString copy =
            dir.filePath(QStringLiteral("f%1.%2").arg(i).arg(src.section(QLatin1Char('.'), -1)));
        QFile::copy(src, copy);
        files << copy;
    }

    const long before = peakKiB(RUSAGE_SELF);
    QElapsedTimer t;
    t.start();
    int failed = 0;
    for (const QString& f : files) {
        bool bad = false;
        kv::GetDurationText(f, &bad);
        failed += bad;
    }
    const double ours = t.nsecsElapsed() / 1e9;
    const long peak = peakKiB(RUSAGE_SELF);

    t.restart();
    for (const QString& f : files)
        RunTool(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format=duration"), f});
    const double theirs = t.nsecsElapsed() / 1e9;

    std::printf("[mixed] files: %d (%lld kinds), probe failures: %d\n", count,
                static_cast<long long>(kinds.size()), failed);
    std::printf("[mixed] GetDurationText: %.3f s, %.1f files/s\n", ours, count / ours);
    std::printf("[mixed] ffprobe loop:    %.3f s, %.1f files/s\n", theirs, count / theirs);
    std::printf("[mixed] peak memory of the probing process: %ld KiB (%ld KiB before probing)\n",
                peak, before);
    return 0;
}

int wavs(int count) {
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("w00000.wav"));
    if (!MakeSine(first, 1.0, 44100, 2, {}))
        return 1;
    QStringList files{first};
    for (int i = 1; i < count; ++i) {
        const QString p = dir.filePath(QStringLiteral("w%1.wav").arg(i, 5, 10, QLatin1Char('0')));
        QFile::copy(first, p);
        files << p;
    }
    // Twice: the first run also reads the files into the page cache.
    double best = 0;
    int rows = 0, wrong = 0;
    for (int run = 0; run < 2; ++run) {
        kv::FileListModel model;
        kv::FileAdder adder(&model, std::make_unique<NoHost>());
        QElapsedTimer t;
        t.start();
        QEventLoop loop;
        QObject::connect(&adder, &kv::FileAdder::busyChanged, &loop, [&](bool busy) {
            if (!busy)
                loop.quit();
        });
        adder.add(files, true);
        if (adder.isBusy())
            loop.exec();
        const double s = t.nsecsElapsed() / 1e9;
        best = run == 0 ? s : std::min(best, s);
        rows = model.rowCount();
        wrong = 0;
        for (int i = 0; i < rows; ++i)
            wrong += model.table()->row(i).Duration != QStringLiteral("00:01");
    }
    std::printf("[wavs] %d one-second WAV files (44.1 kHz stereo) added by the file adder on %d "
                "cores\n",
                count, QThread::idealThreadCount());
    std::printf("[wavs] %.3f s, %.0f files/s; rows: %d, lengths other than 00:01: %d\n", best,
                count / best, rows, wrong);
    return rows == count && wrong == 0 ? 0 : 1;
}

// The probe of one file in a child, so its peak memory is its own.
struct ChildProbe {
    double seconds = 0;
    long peakKiB = 0;
    QByteArray verdict;
};

ChildProbe probeInChild(const char* self, const QString& path) {
    ChildProbe out;
    const QByteArray file = QFile::encodeName(path);
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return out;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    char* argv[] = {const_cast<char*>(self), const_cast<char*>("--one"),
                    const_cast<char*>(file.constData()), nullptr};
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (rc != 0) {
        close(pipeFds[0]);
        return out;
    }
    char buf[256];
    ssize_t n;
    while ((n = read(pipeFds[0], buf, sizeof buf)) > 0)
        out.verdict.append(buf, n);
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    out.seconds = t.nsecsElapsed() / 1e9;
    out.peakKiB = usage.ru_maxrss;
    out.verdict = out.verdict.trimmed();
    return out;
}

int probeOne(const QString& path) {
    QElapsedTimer t;
    t.start();
    const std::optional<qint64> seconds = kv::ProbeSeconds(path);
    if (seconds)
        std::printf("measured %lld s in %.3f s\n", static_cast<long long>(*seconds),
                    t.nsecsElapsed() / 1e9);
    else
        std::printf("refused in %.3f s\n", t.nsecsElapsed() / 1e9);
    return 0;
}

// A file of `mib` MiB: zeros (sparse) or random bytes.
bool makeJunk(const QString& path, qint64 mib, bool random) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (!random)
        return f.resize(mib * 1024 * 1024);
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qint64 i = 0; i < mib; ++i) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()),
                                              block.size() / 4);
        if (f.write(block) != block.size())
            return false;
    }
    return true;
}

const QStringList kJunkExtensions = {
    QStringLiteral("wav"),  QStringLiteral("wma"),  QStringLiteral("mp1"),  QStringLiteral("mp2"),
    QStringLiteral("mp3"),  QStringLiteral("mp4"),  QStringLiteral("ogg"),  QStringLiteral("aac"),
    QStringLiteral("alac"), QStringLiteral("flac"), QStringLiteral("ac3"),  QStringLiteral("spx"),
    QStringLiteral("mpc"),  QStringLiteral("tta"),  QStringLiteral("ape"),  QStringLiteral("ofr"),
    QStringLiteral("midi"), QStringLiteral("adx"),  QStringLiteral("wmv"),  QStringLiteral("asf"),
    QStringLiteral("avi"),  QStringLiteral("mpg"),  QStringLiteral("mpeg"), QStringLiteral("mov"),
    QStringLiteral("dat"),
};

int junk(const char* self, qint64 mib) {
    QTemporaryDir dir;
    const QString tiny = dir.filePath(QStringLiteral("tiny.wav"));
    MakeSine(tiny, 1.0, 8000, 1, {});
    const ChildProbe base = probeInChild(self, tiny);
    std::printf("[junk] a 1-second WAV for comparison: %.3f s, peak %ld KiB (%s)\n", base.seconds,
                base.peakKiB, base.verdict.constData());
    double worstTime = 0, worstProbe = 0;
    long worstPeak = 0;
    for (const bool random : {false, true}) {
        const QString kind = random ? QStringLiteral("random") : QStringLiteral("zeros");
        const QString source = dir.filePath(kind + QStringLiteral(".bin"));
        if (!makeJunk(source, mib, random))
            return 1;
        for (const QString& ext : kJunkExtensions) {
            const QString path = dir.filePath(kind + QLatin1Char('.') + ext);
            QFile::rename(source, path);
            const ChildProbe r = probeInChild(self, path);
            std::printf("[junk] %lld MiB of %s as .%-4s %.3f s, peak %6ld KiB (+%ld): %s\n",
                        static_cast<long long>(mib), qPrintable(kind), qPrintable(ext), r.seconds,
                        r.peakKiB, r.peakKiB - base.peakKiB, r.verdict.constData());
            worstTime = std::max(worstTime, r.seconds);
            // The child's own time: "... in X s".
            const QList<QByteArray> words = r.verdict.split(' ');
            worstProbe = std::max(worstProbe, words.value(words.size() - 2).toDouble());
            worstPeak = std::max(worstPeak, r.peakKiB - base.peakKiB);
            QFile::rename(path, source);
        }
    }
    std::printf("[junk] worst: %.3f s in the probe, %.3f s with the process start, %ld KiB above "
                "the WAV probe\n",
                worstProbe, worstTime, worstPeak);
    return 0;
}

int cancel() {
    QTemporaryDir dir;
    QStringList pick;
    for (int i = 0; i < 8; ++i) {
        const QString p = dir.filePath(QStringLiteral("junk%1.mp3").arg(i));
        makeJunk(p, 1024, false);
        pick << p;
    }
    std::vector<double> waits;
    for (int run = 0; run < 5; ++run) {
        kv::FileListModel model;
        kv::FileAdder adder(&model, std::make_unique<NoHost>());
        adder.add(pick, true);
        // Into the probes; the worker is somewhere inside one of the files.
        QTest::qWait(150 + 37 * run);
        QElapsedTimer t;
        t.start();
        adder.cancel();
        waits.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(waits.begin(), waits.end());
    std::printf("[cancel] cancel() during an add of 1 GiB junk files: median %.1f ms, worst %.1f "
                "ms (5 runs)\n",
                waits[waits.size() / 2], waits.back());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    kv::RegisterDecoders();
    const QString what = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto number = [&](int fallback) {
        return argc > 2 ? std::max(1, atoi(argv[2])) : fallback;
    };
    if (what == QStringLiteral("--one") && argc > 2)
        return probeOne(QFile::decodeName(argv[2]));
    if (what == QStringLiteral("mixed"))
        return mixed(number(500));
    if (what == QStringLiteral("wavs"))
        return wavs(number(10000));
    if (what == QStringLiteral("junk"))
        return junk(argv[0], number(1024));
    if (what == QStringLiteral("cancel"))
        return cancel();
    bool isNumber = false;
    const int count = what.toInt(&isNumber);
    if (isNumber)
        return mixed(std::max(1, count));
    int rc = mixed(500);
    rc |= wavs(10000);
    rc |= junk(argv[0], 1024);
    rc |= cancel();
    return rc;
}
