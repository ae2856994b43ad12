// Real faults in the middle of a real batch, for every output format: the faulted row ends in
// Error, nothing that was there before is touched, and the next file and the next batch work.
// The fault is made while the converter is held at its first progress report. A Stop while
// the encoder reads nothing ends the batch within seconds. A source whose reads hang in the
// kernel holds only its own row.
#include "convert/BatchDriver.h"
#include "convert/Converters.h"
#include "formats/EncoderProcess.h"
#include "convert/SettingsOptions.h"
#include "engine/DecodeStream.h"
#include "engine/Decoders.h"
#include "settings/ProgramFolder.h"

#include "ConversionControls.h"
#include "MediaTools.h"
#include "StallingFs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <future>
#include <map>
#include <sys/mount.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace kv;
using namespace kvtest;

namespace {

// Passes everything on, and runs `fault` once, at the first progress report of `source`.
class GateControl final : public ConversionControl {
public:
    GateControl(ConversionControl& inner, std::function<void()> fault)
        : inner_(inner), fault_(std::move(fault)) {}
    bool stopRequested() const override { return inner_.stopRequested(); }
    void progress(double percent) override {
        if (fault_)
            std::exchange(fault_, nullptr)();
        inner_.progress(percent);
    }
    void reportError(const QString& reason) override { inner_.reportError(reason); }

private:
    ConversionControl& inner_;
    std::function<void()> fault_;
};

// Our own encoder children (lame, oggenc), found through /proc; sent `signal` when it is set.
int encoders(int signal = 0) {
    int killed = 0;
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        const QByteArray stat = ReadBytes("/proc/" + pid + "/stat");
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QByteArray name = stat.mid(stat.indexOf('(') + 1, close - stat.indexOf('(') - 1);
        const QList<QByteArray> f = stat.mid(close + 2).split(' ');
        if (f.size() > 1 && f[1].toInt() == ::getpid() && (name == "lame" || name == "oggenc")) {
            if (signal != 0)
                ::kill(pid.toInt(), signal);
            ++killed;
        }
    }
    return killed;
}

int threads() {
    return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

} // namespace

TEST(BatchFaults, EveryFormatSurvivesEveryFaultMidFile) {
    RegisterDecoders();
    QTemporaryDir dir;
    const auto at = [&](const QString& name) { return dir.filePath(name); };
    SetProgramFolder(at("prog"));
    QDir().mkpath(at("prog"));
    // Long and noisy enough that every format's output outgrows the small file system.
    const QString original = at("long.flac"), small = at("next.flac");
    ASSERT_TRUE(MakeWithFfmpeg({"-f", "lavfi", "-i", "anoisesrc=d=20:c=pink:a=0.5", "-ac", "2",
                                "-ar", "44100", "-c:a", "flac"},
                               original));
    ASSERT_TRUE(MakeSine(small, 0.3, 8000, 1, {"-c:a", "flac"}));
    const QByteArray nextBytes = ReadBytes(small);

    // Another run's source of the same name, for the folder made again.
    const QString other = at("other/song.flac");
    ASSERT_TRUE(QDir().mkpath(at("other")) && QFile::copy(small, other));

    enum Fault {
        FullDisk,
        FolderRemoved,
        FolderRemade,
        SourceTruncated,
        SourceReplaced,
        EncoderKilled,
        EncoderStalled
    };
    const char* names[] = {"full disk",
                           "output folder removed",
                           "output folder made again",
                           "source truncated",
                           "source replaced",
                           "encoder killed",
                           "encoder stopped reading, then Stop"};
    int run = 0;
    for (const int format : {kFormatWAV, kFormatWMA, kFormatMP3, kFormatOGG, kFormatFLAC,
                             kFormatOpus, kFormatM4A}) {
        for (const Fault fault : {FullDisk, FolderRemoved, FolderRemade, SourceTruncated,
                                  SourceReplaced, EncoderKilled, EncoderStalled}) {
            const bool stopped = fault == EncoderStalled;
            if ((fault == EncoderKilled || stopped) && format != kFormatMP3 &&
                format != kFormatOGG)
                continue; // written in-process: no encoder to kill
            const QString ext = OutputExtension(format);
            SCOPED_TRACE(QStringLiteral("%1 / %2").arg(ext, names[fault]).toStdString());
            // A fresh copy of the source each time, since some faults damage it.
            const QString source = at(QStringLiteral("src%1/song.flac").arg(run));
            const QString out = at(QStringLiteral("out%1").arg(run++));
            ASSERT_TRUE(QDir().mkpath(QFileInfo(source).path()) && QDir().mkpath(out));
            ASSERT_TRUE(QFile::copy(original, source));
            const bool tmpfs = fault == FullDisk && ::mount("tmpfs", QFile::encodeName(out),
                                                            "tmpfs", 0, "size=64k") == 0;
            const std::shared_ptr<void> unmount(nullptr, [&](void*) {
                if (tmpfs)
                    ::umount2(QFile::encodeName(out), MNT_DETACH);
            });
            // What the user had there before: a file by the output's first name.
            const QString keep = out + "/song." + ext;
            ASSERT_TRUE(WriteBytes(keep, "precious"));
            std::unique_ptr<FileSizeLimit> limit;
            if (fault == FullDisk && !tmpfs)
                limit = std::make_unique<FileSizeLimit>(65536);

            BatchDriver driver;
            const Converter real = ConverterFor(format);
            // The encoder settings a new user starts with.
            ConversionOptions options = ConversionOptionsFrom(OutputSettings{});
            options.outputFormat = format;
            options.folder = {false, out};
            driver.setOptions(options);

            int killed = 0;
            std::future<std::chrono::steady_clock::time_point> stopAsked;
            std::vector<Ended> secondRun; // a run into the folder made again, and its file
            QByteArray secondBytes;
            const std::function<void()> inject = [&] {
                switch (fault) {
                case FullDisk:
                    break; // it fills by itself
                case FolderRemoved:
                    QDir(out).removeRecursively();
                    break;
                case FolderRemade: {
                    // A second run, on its own thread, then claims the first run's name there.
                    QDir(out).removeRecursively();
                    QDir().mkpath(out);
                    WriteBytes(keep, "precious");
                    BatchDriver second;
                    second.setConverter(format, real);
                    second.setOptions(options);
                    std::promise<void> done;
                    QObject::connect(&second, &BatchDriver::fileFinished,
                                     [&](FileListRowId, FileOutcome o, const QString& made,
                                         const QString& err) {
                                         secondRun.push_back({o, made, err});
                                     });
                    QObject::connect(&second, &BatchDriver::finished, [&] { done.set_value(); });
                    second.start({{1, other, true, true}}, false);
                    done.get_future().wait_for(std::chrono::minutes(2));
                    second.wait();
                    secondBytes = ReadBytes(secondRun.empty() ? QString() : secondRun[0].output);
                    break;
                }
                case SourceTruncated:
                    QFile::resize(source, QFileInfo(source).size() / 3);
                    break;
                case SourceReplaced:
                    QFile::copy(small, source + ".new");
                    ::rename(QFile::encodeName(source + ".new"), QFile::encodeName(source));
                    break;
                case EncoderKilled:
                    killed = encoders(SIGKILL);
                    break;
                case EncoderStalled:
                    // Stop once this worker waits for room in the pipe of the stopped encoder.
                    killed = encoders(SIGSTOP);
                    stopAsked = std::async(std::launch::async, [&, tid = ::gettid()] {
                        const QString call = QStringLiteral("/proc/self/task/%1/syscall").arg(tid);
                        const auto until =
                            std::chrono::steady_clock::now() + std::chrono::minutes(1);
                        while (!QList<int>{SYS_poll, SYS_ppoll}.contains(
                                   ReadBytes(call).split(' ').value(0).toInt()) &&
                               std::chrono::steady_clock::now() < until)
                            QThread::yieldCurrentThread();
                        driver.requestStop();
                        return std::chrono::steady_clock::now();
                    });
                    break;
                }
            };
            driver.setConverter(format, [&](const QString& s, const QString& o,
                                            const ConversionOptions& opt, ConversionControl& c) {
                GateControl gate(c, s == source ? inject : nullptr);
                return real(s, o, opt, gate);
            });
            const std::vector<Ended> ended = RunBatch(driver, {source, small});
            limit.reset();
            if (stopped) {
                const auto waited = std::chrono::steady_clock::now() - stopAsked.get();
                EXPECT_LT(waited, kEncoderStopGrace + std::chrono::seconds(3));
            }
            // A stopped batch starts no other file.
            ASSERT_EQ(ended.size(), stopped ? 1u : 2u);
            EXPECT_EQ(ended[0].outcome, FileOutcome::Error);
            EXPECT_FALSE(ended[0].error.isEmpty()) << "a failed file says why";
            EXPECT_TRUE(ended[0].output.isEmpty() || !QFileInfo::exists(ended[0].output))
                << ended[0].output.toStdString();
            if (fault == EncoderKilled || stopped) {
                EXPECT_EQ(killed, 1);
            }
            // A full disk is named as such, whoever wrote.
            const QString disk = tmpfs ? "No space left on device" : "File too large";
            const QString fullDiskWhy[] = {disk, disk, "lame exited with status 1",
                                           "oggenc could not write all of", disk, disk, disk};
            if (fault == FullDisk) {
                EXPECT_TRUE(ended[0].error.contains(fullDiskWhy[format]))
                    << ended[0].error.toStdString();
            }
            if (fault != FolderRemoved) {
                EXPECT_EQ(ReadBytes(keep), QByteArray("precious"));
            }
            // The second run's file, of the first run's name, outlives the first run's failure.
            if (fault == FolderRemade) {
                ASSERT_EQ(secondRun.size(), 1u);
                EXPECT_EQ(secondRun[0].outcome, FileOutcome::Complete)
                    << secondRun[0].error.toStdString();
                EXPECT_EQ(QFileInfo(secondRun[0].output).fileName(), "song_Converted." + ext);
                EXPECT_FALSE(secondBytes.isEmpty());
                EXPECT_EQ(ReadBytes(secondRun[0].output), secondBytes);
            }
            // The next file in the batch, and a new batch, both complete.
            if (!stopped) {
                EXPECT_EQ(ended[1].outcome, FileOutcome::Complete) << ended[1].error.toStdString();
            }
            EXPECT_EQ(ReadBytes(small), nextBytes);
            const std::vector<Ended> again = RunBatch(driver, {small});
            ASSERT_EQ(again.size(), 1u);
            EXPECT_EQ(again[0].outcome, FileOutcome::Complete) << again[0].error.toStdString();
            for (const QString& made : stopped ? QStringList{again[0].output}
                                               : QStringList{ended[1].output, again[0].output}) {
                EXPECT_NEAR(FfprobeSeconds(made), 0.3, 0.25) << made.toStdString();
            }
        }
    }
    // No encoder left running, no decoder left open.
    EXPECT_EQ(encoders(), 0);
    EXPECT_EQ(LiveStreamCount(), 0);
    SetProgramFolder(QString());
}

// The source on a file system that stops answering reads half-way, converted beside another
// file: the other file completes, Stop returns at once and the event loop runs on while the
// read is held; once it is answered the row ends Cancelled with a shorter file that plays.
TEST(BatchFaults, ASourceWhoseReadsHangHoldsOnlyItsOwnRow) {
    RegisterDecoders();
    QTemporaryDir dir;
    SetProgramFolder(dir.filePath("prog"));
    const QString wav = dir.filePath("song.wav"), other = dir.filePath("other.flac");
    ASSERT_TRUE(MakeSine(wav, 30, 44100, 2, {}));
    ASSERT_TRUE(MakeSine(other, 0.3, 8000, 1, {"-c:a", "flac"}));
    const QByteArray bytes = ReadBytes(wav);
    for (const int format : {kFormatWAV, kFormatWMA}) {
        const QString ext = OutputExtension(format);
        SCOPED_TRACE(ext.toStdString());
        StallingFs fs("song.wav", bytes, bytes.size() / 2);
        ASSERT_TRUE(fs.mounted());
        const QString out = dir.filePath("out-" + ext), keep = out + "/song." + ext;
        ASSERT_TRUE(WriteBytes(keep, "precious"));
        const int threadsBefore = threads();
        std::map<FileListRowId, Ended> ended;
        {
            BatchDriver driver;
            RegisterConverters(driver);
            ConversionOptions options = ConversionOptionsFrom(OutputSettings{});
            options.outputFormat = format;
            options.folder = {false, out};
            options.jobs = 2;
            driver.setOptions(options);
            // Answered before the driver waits for its workers, a failed check included.
            const std::shared_ptr<void> answered(nullptr, [&](void*) { fs.release(); });
            bool finished = false;
            QObject::connect(&driver, &BatchDriver::fileFinished,
                             [&](FileListRowId id, FileOutcome o, const QString& made,
                                 const QString& err) { ended[id] = {o, made, err}; });
            QObject::connect(&driver, &BatchDriver::finished, [&] { finished = true; });
            ASSERT_TRUE(driver.start({{1, fs.path(), true, true}, {2, other, true, true}}, false));
            ASSERT_TRUE(fs.waitHeld(std::chrono::minutes(1)));
            ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count(2) == 1; }, 60000));
            EXPECT_EQ(ended[2].outcome, FileOutcome::Complete) << ended[2].error.toStdString();
            EXPECT_EQ(ended.count(1), 0u);

            // A Stop that waited for the held worker is let go after a while, and fails.
            std::promise<void> stopped;
            const auto watchdog = std::async(std::launch::async, [&, f = stopped.get_future()] {
                if (f.wait_for(std::chrono::seconds(2)) != std::future_status::ready)
                    fs.release();
            });
            const auto asked = std::chrono::steady_clock::now();
            driver.requestStop();
            stopped.set_value();
            EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(100));
            bool ticked = false;
            QTimer::singleShot(0, [&] { ticked = true; });
            EXPECT_TRUE(QTest::qWaitFor([&] { return ticked; }, 5000));
            EXPECT_EQ(fs.held(), 1);
            EXPECT_TRUE(driver.isRunning());

            fs.release();
            ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 60000));
            ASSERT_EQ(ended.count(1), 1u);
            EXPECT_EQ(ended[1].outcome, FileOutcome::Cancelled) << ended[1].error.toStdString();
            const std::optional<ProbeInfo> made = FfprobeAudio(ended[1].output);
            ASSERT_TRUE(made.has_value()) << ended[1].output.toStdString();
            EXPECT_GT(made->duration, 5.0);
            EXPECT_LT(made->duration, 25.0);
            EXPECT_EQ(ReadBytes(keep), QByteArray("precious"));

            const std::vector<Ended> again = RunBatch(driver, {other});
            ASSERT_EQ(again.size(), 1u);
            EXPECT_EQ(again[0].outcome, FileOutcome::Complete) << again[0].error.toStdString();
        }
        EXPECT_EQ(threads(), threadsBefore);
    }
    EXPECT_EQ(LiveStreamCount(), 0);
    SetProgramFolder(QString());
}
