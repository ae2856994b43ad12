// The batch driver with real conversions: output names shared between runs, and what a
// failed file leaves behind.
#include "convert/BatchDriver.h"
#include "convert/WavConverter.h"
#include "engine/Decoders.h"

#include "MediaTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

using namespace kv;
using namespace kvtest;

namespace {
// Lets the converters of two batches through only together, so both have named their
// files before either writes.
class Meeting {
public:
    void meet() {
        std::unique_lock lock(mutex_);
        const int round = arrived_ / 2;
        ++arrived_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(30),
                          [&] { return arrived_ >= (round + 1) * 2; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int arrived_ = 0;
};

struct Finished {
    FileOutcome outcome;
    QString output, error;
};

// What each file of the driver's batches ends with, in order.
void collect(BatchDriver& driver, std::vector<Finished>& into) {
    QObject::connect(
        &driver, &BatchDriver::fileFinished, &driver,
        [&into](FileListRowId, FileOutcome outcome, const QString& output, const QString& error) {
            into.push_back({outcome, output, error});
        });
}

std::vector<BatchRow> rowsOf(const QStringList& paths) {
    std::vector<BatchRow> rows;
    for (const QString& path : paths)
        rows.push_back({static_cast<FileListRowId>(rows.size() + 1), path, true, false});
    return rows;
}

Converter wav() {
    return [](const QString& source, const QString& output, const ConversionOptions&,
              ConversionControl& control) { return ConvertToWAV(source, output, control); };
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
    const QString out = dir.filePath(QStringLiteral("out")); // made by whichever comes first
    Meeting meeting;
    BatchDriver first, second;
    std::vector<Finished> results[2];
    int n = 0;
    for (BatchDriver* driver : {&first, &second}) {
        driver->setConverter(kFormatWAV, [&meeting](const QString& source, const QString& output,
                                                    const ConversionOptions& options,
                                                    ConversionControl& control) {
            meeting.meet();
            return wav()(source, output, options, control);
        });
        driver->setOptions({kFormatWAV, {false, out}});
        collect(*driver, results[n++]);
    }
    QSignalSpy firstDone(&first, &BatchDriver::finished),
        secondDone(&second, &BatchDriver::finished);
    ASSERT_TRUE(first.start(rowsOf(sources), false));
    ASSERT_TRUE(second.start(rowsOf(sources), false));
    ASSERT_TRUE(firstDone.count() == 1 || firstDone.wait(60000));
    ASSERT_TRUE(secondDone.count() == 1 || secondDone.wait(60000));

    QSet<QString> outputs;
    for (const auto& run : results) {
        ASSERT_EQ(run.size(), 3u);
        for (size_t i = 0; i < run.size(); ++i) {
            EXPECT_EQ(run[i].outcome, FileOutcome::Complete) << run[i].error.toStdString();
            outputs.insert(run[i].output);
            // Each output holds its own source, whole.
            const auto expected = FfmpegDecode(sources[int(i)], "s16le");
            const auto actual = FfmpegDecode(run[i].output, "s16le");
            ASSERT_TRUE(expected && actual);
            EXPECT_TRUE(*expected == *actual) << run[i].output.toStdString();
        }
    }
    EXPECT_EQ(outputs.size(), 6);
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 6);
}

TEST(BatchDriver, AFailedFileLeavesNoEmptyClaimBehind) {
    RegisterDecoders();
    QTemporaryDir dir;
    const QString junk = dir.filePath(QStringLiteral("junk.wav"));
    ASSERT_TRUE(WriteBytes(junk, QByteArray(5000, '\x5a')));
    const QString good = dir.filePath(QStringLiteral("good.flac"));
    ASSERT_TRUE(MakeSine(good, 0.3, 22050, 1, {"-c:a", "flac"}));
    const Converter partial = [](const QString&, const QString& output, const ConversionOptions&,
                                 ConversionControl& control) {
        QFile file(output);
        if (file.open(QIODevice::WriteOnly))
            file.write("partial");
        control.reportError(output + QStringLiteral(": encoder failed"));
        return FileOutcome::Error;
    };
    const struct {
        const char* name;
        QString source;
        int format;
        Converter converter;
        QString leftOver; // what stays at the output name; null for no file
        QString error;    // what the reason begins with
    } cases[] = {
        {"source that does not decode", junk, kFormatWAV, wav(), QString(), junk + ": "},
        {"no converter for the format", good, kFormatMP3, wav(), QString(),
         "mp3 output is not available"},
        // What a converter wrote is its own to keep or remove.
        {"converter that wrote and failed", good, kFormatWAV, partial, "partial",
         dir.filePath(QStringLiteral("o2/good.wav: encoder failed"))},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = dir.filePath(QStringLiteral("o%1").arg(n++));
        BatchDriver driver;
        driver.setConverter(kFormatWAV, c.converter);
        driver.setOptions({c.format, {false, out}});
        std::vector<Finished> results;
        collect(driver, results);
        QSignalSpy done(&driver, &BatchDriver::finished);
        ASSERT_TRUE(driver.start(rowsOf({c.source}), false));
        ASSERT_TRUE(done.wait(60000));
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].outcome, FileOutcome::Error);
        EXPECT_TRUE(results[0].error.startsWith(c.error)) << results[0].error.toStdString();
        const QStringList files = QDir(out).entryList(QDir::Files);
        if (c.leftOver.isNull()) {
            EXPECT_TRUE(files.isEmpty()) << files.join(' ').toStdString();
            EXPECT_EQ(results[0].output, QString());
        } else {
            ASSERT_EQ(files.size(), 1);
            EXPECT_EQ(results[0].output, QDir(out).filePath(files[0]));
            EXPECT_EQ(ReadBytes(results[0].output), c.leftOver.toUtf8());
        }
    }
}
