// A file the user chose leads to that file alone: lists naming other files are refused, a FIFO
// holds nothing up, a cancel never waits on a stuck worker, every accepted ending converts.
#include "ConversionControls.h"
#include "MediaTools.h"
#include "SynthFixtures.h"
#include "TestSupport.h"
#include "convert/Converters.h"
#include "convert/SettingsOptions.h"
#include "formats/SourceTags.h"
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

#include <future>

using namespace kv;
using namespace kvtest;
using Clock = std::chrono::steady_clock;

namespace {

// Upper bounds only, generous for a shared machine.
constexpr qint64 kProbeBoundMs = 5000, kCancelBoundMs = 1000;

qint64 msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// How each source ended, in order, converted to WAV by the converters of the window and tool.
std::vector<Ended> convertToWav(const QStringList& sources, const QString& out) {
    BatchDriver driver;
    RegisterConverters(driver);
    ConversionOptions options = ConversionOptionsFrom(OutputSettings{});
    options.outputFormat = kFormatWAV;
    options.folder = {false, out};
    driver.setOptions(options);
    return RunBatch(driver, sources);
}

// Holds a worker as a read stuck in the kernel would: no cancel flag lets it go, only open()
// or, so that a cancel waiting for it fails instead of hanging, three seconds.
struct StuckGate {
    void hold() {
        std::unique_lock<std::mutex> lock(mutex);
        held = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(3), [this] { return opened; });
        left = true;
        changed.notify_all();
    }
    bool waitFor(const bool& flag) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return flag; });
    }
    void open() {
        std::lock_guard<std::mutex> lock(mutex);
        opened = true;
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false, opened = false, left = false;
};

class InputContainment : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterDecoders();
        ASSERT_TRUE(MakeSine(at("other/secret.mp3"), 2.0, 44100, 2,
                             {"-c:a", "libmp3lame", "-metadata", "title=secret"}));
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    }
    QString at(const QString& name) const { return dir.filePath(name); }
    static QByteArray hls(const QString& segment) {
        return "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n" + segment.toUtf8() +
               "\n#EXT-X-ENDLIST\n";
    }
    // What `read` gives, expected within the probe's bound (a stuck reader is then let go).
    template <class Read> auto inTime(Read read) {
        auto [prompt, result] = ReadUnstuck(std::chrono::milliseconds(kProbeBoundMs), {fifo}, read);
        EXPECT_TRUE(prompt);
        return result;
    }
    QTemporaryDir dir;
    const QString fifo = at("pipe.mp3");
};

} // namespace

TEST_F(InputContainment, ListsNamingOtherFilesAreRefusedAndConvertNothing) {
    const QByteArray concat = "ffconcat version 1.0\nfile 'other/secret.mp3'\n";
    const std::pair<const char*, QByteArray> lists[] = {
        {"playlist.mp3", hls(at("other/secret.mp3"))}, {"list.ogg", concat}, {"list.wav", concat}};
    for (const auto& [name, bytes] : lists) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(WriteBytes(at(name), bytes));
        EXPECT_EQ(ProbeSeconds(at(name)), std::nullopt);
        EXPECT_TRUE(ReadSourceTags(at(name)).empty());
        const QString out = at(QStringLiteral("out-") + name);
        EXPECT_EQ(convertToWav({at(name)}, out).at(0).outcome, FileOutcome::Error);
        EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList());
    }
}

TEST_F(InputContainment, FifosFailAtOnceAndCancelsNeverWaitForAStuckWorker) {
    // The FIFO itself and a playlist whose segment it is: before, a reader waited in open().
    const QString fifoList = at("segment.mp3");
    ASSERT_TRUE(WriteBytes(fifoList, hls(fifo)));
    for (const QString& path : {fifo, fifoList}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(inTime([path] { return ProbeSeconds(path); }), std::nullopt);
        EXPECT_TRUE(inTime([path] { return ReadSourceTags(path); }).empty());
    }
    FileListModel model;
    {
        FileAdder adder(&model, std::make_unique<RecordingAddHost>());
        adder.add({fifo, fifoList}, false);
        const bool finished = QTest::qWaitFor([&] { return !adder.isBusy(); }, kProbeBoundMs);
        while (!finished && !QTest::qWaitFor([&] { return !adder.isBusy(); }, 10))
            OpenFifoWriters({fifo});
        EXPECT_TRUE(finished);
    }
    // A worker stuck where no flag reaches it is left behind by either cancel; it then ends on
    // its own.
    const auto msTaken = [](const std::function<void()>& f) {
        const Clock::time_point start = Clock::now();
        f();
        return msSince(start);
    };
    StuckGate adderGate, expanderGate;
    auto adder = std::make_unique<FileAdder>(&model, std::make_unique<RecordingAddHost>());
    adder->setMeasure([&](const QString&, const std::atomic<bool>*) {
        adderGate.hold();
        return FileMeasure{};
    });
    adder->add({at("other/secret.mp3")}, false);
    ASSERT_TRUE(adderGate.waitFor(adderGate.held));
    EXPECT_LT(msTaken([&] { adder->cancel(); }), kCancelBoundMs);
    auto expander = std::make_unique<PathExpander>();
    expander->run(
        true,
        [&] {
            expanderGate.hold();
            return PathsToAdd{};
        },
        [](const PathsToAdd&) {});
    ASSERT_TRUE(expanderGate.waitFor(expanderGate.held));
    EXPECT_LT(msTaken([&] { expander->cancel(); }), kCancelBoundMs);
    EXPECT_LT(msTaken([&] {
                  adder.reset();
                  expander.reset();
              }),
              kCancelBoundMs);
    adderGate.open();
    expanderGate.open();
    EXPECT_TRUE(adderGate.waitFor(adderGate.left) && expanderGate.waitFor(expanderGate.left));
}

TEST_F(InputContainment, ARealFileOfEveryAcceptedEndingStillConverts) {
    // Not here: .cda (a disc's track), .ape (nothing here writes it), .ofr (nothing decodes it).
    enum Kind { Sine, Video, Layer1, Musepack, Midi };
    const QStringList mpeg1{"-c:v", "mpeg1video", "-r", "25", "-c:a", "mp2"};
    const struct {
        const char* file;
        Kind kind;
        QStringList args;
        double seconds = 1.0;
    } files[] = {
        {"a.wav", Sine, {"-c:a", "pcm_s16le"}},
        {"a.wma", Sine, {"-c:a", "wmav2"}},
        {"a.mp1", Layer1, {}, 115 * 384 / 44100.0},
        {"a.mp2", Sine, {"-c:a", "mp2"}},
        {"a.mp3", Sine, {"-c:a", "libmp3lame"}},
        {"a.mp4", Sine, {"-c:a", "aac"}},
        {"a.ogg", Sine, {"-c:a", "libvorbis"}},
        {"a.aac", Sine, {"-c:a", "aac"}},
        {"a.alac", Sine, {"-c:a", "alac", "-f", "mov"}},
        {"a.flac", Sine, {"-c:a", "flac"}},
        {"a.ac3", Sine, {"-c:a", "ac3"}},
        {"a.spx", Sine, {"-c:a", "libspeex", "-ar", "16000"}},
        {"a.mpc", Musepack, {}},
        {"a.tta", Sine, {"-c:a", "tta"}},
        {"a.midi", Midi, {}, kMidiFileSeconds},
        {"a.adx", Sine, {"-c:a", "adpcm_adx"}},
        {"v.wmv", Video, {"-c:v", "wmv2", "-c:a", "wmav2"}},
        {"v.asf", Video, {"-c:v", "wmv2", "-c:a", "wmav2"}},
        {"v.avi", Video, {"-c:v", "mpeg4", "-c:a", "libmp3lame"}},
        {"v.mpg", Video, mpeg1},
        {"v.mpeg", Video, mpeg1 + QStringList{"-f", "mpeg"}},
        {"v.mov", Video, {"-c:v", "mpeg4", "-c:a", "pcm_s16le"}},
        {"v.dat", Video, mpeg1 + QStringList{"-f", "mpeg"}},
    };
    QStringList sources;
    for (const auto& f : files) {
        const QString path = at(f.file);
        const bool made =
            f.kind == Sine    ? MakeSine(path, f.seconds, 44100, 2, f.args)
            : f.kind == Video ? MakeVideo(path, f.seconds, f.args)
            : f.kind == Midi  ? WriteBytes(path, MakeMidiFile())
            // Silent MPEG-1 Layer I frames: 128 kbit/s, 44.1 kHz, 136 bytes each.
            : f.kind == Layer1
                ? WriteBytes(
                      path,
                      (QByteArray("\xFF\xFF\x40\x00", 4) + QByteArray(132, '\0')).repeated(115))
                : MakeSine(at("mpc.wav"), f.seconds, 44100, 2, {}) &&
                      RunTool("mpcenc", {"--silent", at("mpc.wav"), path}).exitCode == 0;
        ASSERT_TRUE(made) << f.file;
        EXPECT_TRUE(ProbeSeconds(path).has_value()) << f.file;
        sources << path;
    }
    const auto ended = convertToWav(sources, at("out"));
    for (size_t i = 0; i < std::size(files); ++i) {
        SCOPED_TRACE(files[i].file);
        EXPECT_EQ(ended[i].outcome, FileOutcome::Complete);
        EXPECT_NEAR(FfprobeAudio(ended[i].output).value_or(ProbeInfo{}).duration, files[i].seconds,
                    0.2);
    }
}
