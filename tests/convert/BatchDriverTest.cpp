// The batch driver with real conversions: output names shared between runs, and what a
// failed file leaves behind.
#include "convert/BatchDriver.h"
#include "formats/Mp3OggConverter.h"
#include "convert/SettingsOptions.h"
#include "formats/WavFormat.h"
#include "engine/Decoders.h"

#include "MediaTools.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <barrier>
#include <condition_variable>
#include <mutex>

using namespace kv;
using namespace kvtest;

namespace {
struct Finished {
    FileOutcome outcome;
    QString output, error;
};

// A batch's files as they end, in order; queued like the window's, so `ended` comes last.
struct BatchRun {
    std::vector<Finished> files;
    bool anyStarted = false;
    bool ended = false;
    bool wait() {
        return QTest::qWaitFor([this] { return ended; }, 60000);
    }
};

void start(BatchDriver& driver, const QStringList& paths, BatchRun& run) {
    QObject::connect(
        &driver, &BatchDriver::fileFinished, &driver,
        [&run](FileListRowId, FileOutcome outcome, const QString& output, const QString& error) {
            run.files.push_back({outcome, output, error});
        });
    QObject::connect(&driver, &BatchDriver::finished, &driver, [&run](bool anyStarted) {
        run.anyStarted = anyStarted;
        run.ended = true;
    });
    std::vector<BatchRow> rows;
    for (const QString& path : paths)
        rows.push_back({FileListRowId(rows.size() + 1), path, true, false});
    ASSERT_TRUE(driver.start(rows, false));
}

FileOutcome wav(const QString& source, const QString& output, const ConversionOptions&,
                ConversionControl& control) {
    return ConvertToWAV(source, output, control);
}
} // namespace

TEST(BatchDriver, TwoBatchesIntoOneFolderNeverShareAName) {
    RegisterDecoders();
    QTemporaryDir dir;
    QStringList sources;
    for (int i = 0; i < 3; ++i) {
        sources << dir.filePath(QStringLiteral("s%1.flac").arg(i));
        ASSERT_TRUE(MakeSine(sources.last(), 0.3 + 0.2 * i, 22050, 1, {"-c:a", "flac"}));
    }
    // Each file is written only once both batches have named it; the folder is made by
    // whichever comes first.
    std::barrier meeting(2);
    BatchDriver batches[2];
    BatchRun runs[2];
    for (int b = 0; b < 2; ++b) {
        batches[b].setConverter(kFormatWAV, [&meeting](auto&&... args) {
            meeting.arrive_and_wait();
            return wav(args...);
        });
        batches[b].setOptions({kFormatWAV, {false, dir.filePath(QStringLiteral("out"))}, {}, {}, {}});
    }
    start(batches[0], sources, runs[0]);
    start(batches[1], sources, runs[1]);
    ASSERT_TRUE(runs[0].wait() && runs[1].wait());

    QSet<QString> outputs;
    for (const BatchRun& r : runs) {
        const std::vector<Finished>& run = r.files;
        ASSERT_EQ(run.size(), 3u);
        for (size_t i = 0; i < run.size(); ++i) {
            EXPECT_EQ(run[i].outcome, FileOutcome::Complete) << run[i].error.toStdString();
            outputs.insert(run[i].output);
            const auto expected = FfmpegDecode(sources[int(i)], "s16le");
            const auto actual = FfmpegDecode(run[i].output, "s16le");
            ASSERT_TRUE(expected && actual);
            EXPECT_TRUE(*expected == *actual) << run[i].output.toStdString();
        }
    }
    EXPECT_EQ(outputs.size(), 6);
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::Files).size(), 6);
}

TEST(BatchDriver, AFailedFileLeavesNoEmptyClaimBehind) {
    RegisterDecoders();
    QTemporaryDir dir;
    const QString junk = dir.filePath(QStringLiteral("junk.wav"));
    ASSERT_TRUE(WriteBytes(junk, QByteArray(5000, '\x5a')));
    const Converter partial = [](const QString&, const QString& output, const ConversionOptions&,
                                 ConversionControl& control) {
        QFile file(output);
        if (file.open(QIODevice::WriteOnly))
            file.write("partial");
        control.reportError(output + QStringLiteral(": encoder failed"));
        return FileOutcome::Error;
    };
    const struct {
        Converter converter;
        QString leftOver; // null for no file
        QString error;    // how the reason begins
    } cases[] = {
        {wav, QString(), junk + ": "},
        // What a converter wrote is its own to keep or remove.
        {partial, "partial", dir.filePath(QStringLiteral("o1/junk.wav: encoder failed"))},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString out = dir.filePath(QStringLiteral("o%1").arg(n++));
        BatchDriver driver;
        driver.setConverter(kFormatWAV, c.converter);
        driver.setOptions({kFormatWAV, {false, out}, {}, {}, {}});
        BatchRun run;
        start(driver, {junk}, run);
        ASSERT_TRUE(run.wait());
        const std::vector<Finished>& results = run.files;
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].outcome, FileOutcome::Error);
        EXPECT_TRUE(results[0].error.startsWith(c.error)) << results[0].error.toStdString();
        const QStringList files = QDir(out).entryList(QDir::Files);
        EXPECT_EQ(files.size(), c.leftOver.isNull() ? 0 : 1);
        EXPECT_EQ(results[0].output, files.isEmpty() ? QString() : out + "/junk.wav");
        if (!c.leftOver.isNull()) {
            EXPECT_EQ(ReadBytes(out + "/junk.wav"), c.leftOver.toUtf8());
        }
    }
}

// Only a row taken with a format chosen counts as started, so only such a batch may switch the
// computer off.
TEST(BatchDriver, ARowCountsAsStartedOnlyWithAFormatChosen) {
    QTemporaryDir dir;
    for (const int format : {-1, int(kFormatWAV)}) {
        BatchDriver driver;
        int calls = 0;
        driver.setConverter(kFormatWAV, [&calls](auto&&...) {
            ++calls;
            return FileOutcome::Error;
        });
        driver.setOptions({format, {false, dir.path()}, {}, {}, {}});
        BatchRun run;
        start(driver, {dir.filePath(QStringLiteral("a.flac"))}, run);
        ASSERT_TRUE(run.wait());
        EXPECT_EQ(run.anyStarted, format >= 0) << format;
        EXPECT_EQ(calls, format >= 0 ? 1 : 0);
    }
}

TEST(BatchDriver, EightSourcesOfOneNameIntoOneFolderWithFourJobs) {
    RegisterDecoders();
    QTemporaryDir dir;
    QStringList sources;
    const QString clip = dir.filePath(QStringLiteral("clip.flac"));
    ASSERT_TRUE(MakeSine(clip, 1.5, 44100, 2, {"-c:a", "flac"}));
    for (int i = 0; i < 8; ++i) {
        sources << dir.filePath(QStringLiteral("d%1/song.flac").arg(i));
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("d%1").arg(i))));
        ASSERT_TRUE(QFile::copy(clip, sources.last()));
    }
    // The first four hold each other at the gate until all four run: with fewer workers the
    // gate times out, with more the peak shows it.
    std::mutex m;
    std::condition_variable cv;
    int running = 0, peak = 0;
    BatchDriver driver;
    driver.setConverter(kFormatMP3, [&](const QString& source, const QString& output,
                                        const ConversionOptions& options,
                                        ConversionControl& control) {
        {
            std::unique_lock<std::mutex> lock(m);
            peak = std::max(peak, ++running);
            cv.notify_all();
            cv.wait_for(lock, std::chrono::seconds(30), [&] { return peak >= 4; });
        }
        const FileOutcome outcome = ConvertToMP3_OGG(source, output, options, control);
        std::lock_guard<std::mutex> lock(m);
        --running;
        return outcome;
    });
    ConversionOptions options = ConversionOptionsFrom(OutputSettings());
    options.outputFormat = kFormatMP3;
    options.folder = {false, dir.filePath(QStringLiteral("out"))};
    options.jobs = 4;
    driver.setOptions(options);
    // Rows start in list order and are named in it, each name claimed once.
    QStringList named;
    QObject::connect(&driver, &BatchDriver::fileStarted, &driver,
                     [&](FileListRowId id, const QString&, const QString& output) {
                         EXPECT_EQ(id, FileListRowId(named.size() + 1));
                         named << QFileInfo(output).fileName();
                     });
    BatchRun run;
    start(driver, sources, run);
    ASSERT_TRUE(run.wait());
    EXPECT_EQ(peak, 4);
    QStringList expected{QStringLiteral("song.mp3"), QStringLiteral("song_Converted.mp3")};
    for (int k = 0; k < 6; ++k)
        expected << QStringLiteral("song_Converted_%1.mp3").arg(k);
    EXPECT_EQ(named, expected);
    ASSERT_EQ(run.files.size(), 8u);
    for (const Finished& f : run.files) {
        EXPECT_EQ(f.outcome, FileOutcome::Complete) << f.error.toStdString();
        const auto info = FfprobeAudio(f.output);
        ASSERT_TRUE(info) << f.output.toStdString();
        EXPECT_NEAR(info->duration, 1.5, 0.1) << f.output.toStdString();
    }
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("out"))).entryList(QDir::Files).size(), 8);
}
