// A file the user chose leads to that file alone: lists that name other files are refused, a
// FIFO holds nothing up, a cancel never waits on a stuck worker, and a real file of every
// accepted ending still converts.
#include "MediaTools.h"
#include "SynthFixtures.h"
#include "convert/BatchDriver.h"
#include "convert/Converters.h"
#include "convert/SettingsOptions.h"
#include "convert/SourceTags.h"
#include "engine/Decoders.h"
#include "filelist/FileAdder.h"
#include "filelist/LengthProbe.h"
#include "filelist/PathExpansion.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>

using namespace kv;
using namespace kvtest;

namespace {

using Clock = std::chrono::steady_clock;
// Generous: the bounds below are upper bounds only, on a machine shared with other builds.
constexpr qint64 kProbeBoundMs = 5000;
constexpr qint64 kCancelBoundMs = 1000;
// What a held worker or a stuck FIFO reader is let go after, so a test of a cancel that waits
// for it fails instead of hanging.
constexpr auto kBreaker = std::chrono::seconds(3);

qint64 msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct Ended {
    FileOutcome outcome = FileOutcome::Cancelled;
    QString output;
};

// Converts to WAV in `out` through the converters the window and kelvanto-batch use; how each
// source ended, in their order.
std::vector<Ended> convertToWav(const QStringList& sources, const QString& out) {
    BatchDriver driver;
    RegisterConverters(driver);
    ConversionOptions options = ConversionOptionsFrom(OutputSettings{});
    options.outputFormat = kFormatWAV;
    options.folder = {false, out};
    driver.setOptions(options);
    std::vector<Ended> ended(static_cast<size_t>(sources.size()));
    bool done = false;
    QObject context;
    QObject::connect(&driver, &BatchDriver::fileFinished, &context,
                     [&](FileListRowId id, FileOutcome o, const QString& output, const QString&) {
                         ended.at(static_cast<size_t>(id - 1)) = {o, output};
                     });
    QObject::connect(&driver, &BatchDriver::finished, &context, [&] { done = true; });
    std::vector<BatchRow> rows;
    for (const QString& s : sources)
        rows.push_back({FileListRowId(rows.size() + 1), s, true, true});
    EXPECT_TRUE(driver.start(rows, false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 120000));
    return ended;
}

// Lets the FIFO's readers stuck in open() go, by opening and closing its other end, until
// `done` holds.
void unstickUntil(const QString& fifo, const std::function<bool()>& done) {
    while (!done()) {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
}

// Holds a worker as a read stuck in the kernel would: no cancel flag lets it go, only open(),
// or the breaker.
class StuckGate {
public:
    void hold() {
        std::unique_lock<std::mutex> lock(mutex_);
        held_ = true;
        changed_.notify_all();
        changed_.wait_for(lock, kBreaker, [this] { return open_; });
        left_ = true;
        changed_.notify_all();
    }
    bool waitHeld() { return waitFor(held_); }
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool waitLeft() { return waitFor(left_); }

private:
    bool waitFor(const bool& flag) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return flag; });
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false, open_ = false, left_ = false;
};

class InputContainment : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDecoders();
        ASSERT_TRUE(MakeSine(at("other/secret.mp3"), 2.0, 44100, 2,
                             {"-c:a", "libmp3lame", "-metadata", "title=secret"}));
        ASSERT_EQ(::mkfifo(QFile::encodeName(at("pipe.mp3")).constData(), 0600), 0);
    }
    QString at(const QString& name) const { return dir.filePath(name); }
    // What `read` gives, expected within the probe's bound; a reader still stuck on the FIFO
    // then is let go, so the test fails instead of hanging.
    template <class Read> auto inTime(Read read) {
        const Clock::time_point start = Clock::now();
        auto result = std::async(std::launch::async, read);
        if (result.wait_for(std::chrono::milliseconds(kProbeBoundMs)) != std::future_status::ready)
            unstickUntil(at("pipe.mp3"), [&] {
                return result.wait_for(std::chrono::milliseconds(10)) == std::future_status::ready;
            });
        EXPECT_LT(msSince(start), kProbeBoundMs);
        return result.get();
    }
    static QByteArray hls(const QString& segment) {
        return "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + segment.toUtf8() +
               "\n#EXT-X-ENDLIST\n";
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(InputContainment, ListsNamingOtherFilesAreRefusedAndConvertNothing) {
    const struct {
        const char* name;
        QByteArray bytes;
    } lists[] = {
        {"playlist.mp3", hls(at("other/secret.mp3"))},
        {"list.ogg", "ffconcat version 1.0\nfile 'other/secret.mp3'\n"},
        {"list.wav", "ffconcat version 1.0\nfile 'other/secret.mp3'\n"},
    };
    for (const auto& list : lists) {
        SCOPED_TRACE(list.name);
        const QString path = at(list.name);
        ASSERT_TRUE(WriteBytes(path, list.bytes));
        EXPECT_EQ(ProbeSeconds(path), std::nullopt);
        EXPECT_TRUE(ReadSourceTags(path).empty());
        const QString out = at(QStringLiteral("out-") + list.name);
        const std::vector<Ended> ended = convertToWav({path}, out);
        ASSERT_EQ(ended.size(), 1u);
        EXPECT_EQ(ended[0].outcome, FileOutcome::Error);
        EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList());
    }
}

TEST_F(InputContainment, FifosFailAtOnceAndCancelsNeverWaitForAStuckWorker) {
    // A FIFO named like a sound, and a playlist whose segment is one: the probe and the tag
    // reading give up in time (before, a reader waited in open() for a writer that never came).
    const QString fifoList = at("segment.mp3");
    ASSERT_TRUE(WriteBytes(fifoList, hls(at("pipe.mp3"))));
    for (const QString& path : {at("pipe.mp3"), fifoList}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(inTime([path] { return ProbeSeconds(path); }), std::nullopt);
        EXPECT_TRUE(inTime([path] { return ReadSourceTags(path); }).empty());
    }
    struct NoBox final : AddFileHost {
        void ShowAddFileError(const QString&) override {}
    };
    // The adder, its workers measuring both for real, is done in time.
    {
        FileListModel model;
        FileAdder adder(&model, std::make_unique<NoBox>());
        adder.add({at("pipe.mp3"), fifoList}, false);
        const bool idle = QTest::qWaitFor([&] { return !adder.isBusy(); }, kProbeBoundMs);
        if (!idle)
            unstickUntil(at("pipe.mp3"), [&] {
                return QTest::qWaitFor([&] { return !adder.isBusy(); }, 10);
            });
        EXPECT_TRUE(idle);
    }

    // A worker stuck where no flag reaches it is left behind by the adder's cancel and by the
    // path expander's; it then ends on its own without touching either.
    StuckGate adderGate, expanderGate;
    {
        FileListModel model;
        auto adder = std::make_unique<FileAdder>(&model, std::make_unique<NoBox>());
        adder->setMeasure([&adderGate](const QString&, const std::atomic<bool>*) {
            adderGate.hold();
            return FileMeasure{};
        });
        adder->add({at("other/secret.mp3")}, false);
        ASSERT_TRUE(adderGate.waitHeld());
        Clock::time_point start = Clock::now();
        adder->cancel();
        EXPECT_LT(msSince(start), kCancelBoundMs);

        auto expander = std::make_unique<PathExpander>();
        expander->run(
            true,
            [&expanderGate] {
                expanderGate.hold();
                return PathsToAdd{{"x.wav"}, false};
            },
            [](const PathsToAdd&) {});
        ASSERT_TRUE(expanderGate.waitHeld());
        start = Clock::now();
        expander->cancel();
        EXPECT_LT(msSince(start), kCancelBoundMs);
        // Both go while their workers are still held.
        start = Clock::now();
        adder.reset();
        expander.reset();
        EXPECT_LT(msSince(start), kCancelBoundMs);
        adderGate.open();
        expanderGate.open();
        ASSERT_TRUE(adderGate.waitLeft() && expanderGate.waitLeft());
    }
}

TEST_F(InputContainment, ARealFileOfEveryAcceptedEndingStillConverts) {
    // Not here: .cda (a disc's track), .ape (nothing on the system writes it), .ofr (nothing
    // decodes it).
    enum Kind { Sine, Video, Layer1, Musepack, Midi };
    const struct {
        const char* file;
        Kind kind;
        QStringList args;
        double seconds;
    } files[] = {
        {"a.wav", Sine, {"-c:a", "pcm_s16le"}, 1.0},
        {"a.wma", Sine, {"-c:a", "wmav2"}, 1.0},
        {"a.mp1", Layer1, {}, 115 * 384 / 44100.0},
        {"a.mp2", Sine, {"-c:a", "mp2"}, 1.0},
        {"a.mp3", Sine, {"-c:a", "libmp3lame"}, 1.0},
        {"a.mp4", Sine, {"-c:a", "aac"}, 1.0},
        {"a.ogg", Sine, {"-c:a", "libvorbis"}, 1.0},
        {"a.aac", Sine, {"-c:a", "aac"}, 1.0},
        {"a.alac", Sine, {"-c:a", "alac", "-f", "mov"}, 1.0},
        {"a.flac", Sine, {"-c:a", "flac"}, 1.0},
        {"a.ac3", Sine, {"-c:a", "ac3"}, 1.0},
        {"a.spx", Sine, {"-c:a", "libspeex", "-ar", "16000"}, 1.0},
        {"a.mpc", Musepack, {}, 1.0},
        {"a.tta", Sine, {"-c:a", "tta"}, 1.0},
        {"a.midi", Midi, {}, kMidiFileSeconds},
        {"a.adx", Sine, {"-c:a", "adpcm_adx"}, 1.0},
        {"v.wmv", Video, {"-c:v", "wmv2", "-c:a", "wmav2"}, 1.0},
        {"v.asf", Video, {"-c:v", "wmv2", "-c:a", "wmav2"}, 1.0},
        {"v.avi", Video, {"-c:v", "mpeg4", "-c:a", "libmp3lame"}, 1.0},
        {"v.mpg", Video, {"-c:v", "mpeg1video", "-r", "25", "-c:a", "mp2"}, 1.0},
        {"v.mpeg", Video, {"-c:v", "mpeg1video", "-r", "25", "-c:a", "mp2", "-f", "mpeg"}, 1.0},
        {"v.mov", Video, {"-c:v", "mpeg4", "-c:a", "pcm_s16le"}, 1.0},
        {"v.dat", Video, {"-c:v", "mpeg1video", "-r", "25", "-c:a", "mp2", "-f", "mpeg"}, 1.0},
    };
    QStringList sources;
    for (const auto& f : files) {
        const QString path = at(QString::fromLatin1(f.file));
        bool made = false;
        switch (f.kind) {
        case Sine:
            made = MakeSine(path, f.seconds, 44100, 2, f.args);
            break;
        case Video:
            made = MakeVideo(path, f.seconds, f.args);
            break;
        case Layer1: // silent MPEG-1 Layer I frames: 128 kbit/s, 44.1 kHz, 136 bytes each
            made = WriteBytes(path, (QByteArray("\xFF\xFF\x40\x00", 4) + QByteArray(132, '\0'))
                                        .repeated(115));
            break;
        case Musepack:
            made = MakeSine(at("mpc.wav"), f.seconds, 44100, 2, {}) &&
                   RunTool("mpcenc", {"--silent", at("mpc.wav"), path}).exitCode == 0;
            break;
        case Midi:
            made = WriteBytes(path, MakeMidiFile());
            break;
        }
        ASSERT_TRUE(made) << f.file;
        EXPECT_TRUE(ProbeSeconds(path).has_value()) << f.file;
        sources << path;
    }
    const std::vector<Ended> ended = convertToWav(sources, at("out"));
    ASSERT_EQ(ended.size(), std::size(files));
    for (size_t i = 0; i < ended.size(); ++i) {
        SCOPED_TRACE(files[i].file);
        EXPECT_EQ(ended[i].outcome, FileOutcome::Complete);
        const std::optional<ProbeInfo> wav = FfprobeAudio(ended[i].output);
        ASSERT_TRUE(wav.has_value());
        EXPECT_NEAR(wav->duration, files[i].seconds, 0.2);
    }
}
