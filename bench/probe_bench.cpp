// Files measured per second by the length probe over generated files of mixed formats, beside
// an ffprobe loop over the same files, and the probe's peak memory.
// Usage: probe_bench [FILES] (default 500)
#include "MediaTools.h"
#include "SynthFixtures.h"
#include "engine/Decoders.h"
#include "filelist/LengthProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

using namespace kvtest;

namespace {
long peakKiB(int who) {
    rusage u{};
    getrusage(who, &u);
    return u.ru_maxrss;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 500;
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

    kv::RegisterDecoders();
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

    std::printf("files: %d (%lld kinds), probe failures: %d\n", count,
                static_cast<long long>(kinds.size()), failed);
    std::printf("GetDurationText: %.3f s, %.1f files/s\n", ours, count / ours);
    std::printf("ffprobe loop:    %.3f s, %.1f files/s\n", theirs, count / theirs);
    std::printf("peak memory of the probing process: %ld KiB (%ld KiB before probing)\n", peak,
                before);
    return 0;
}
