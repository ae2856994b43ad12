// Audio CD tracks through libcdio's image driver, on BIN/CUE images written here: the listing
// and lengths, sample-exact rips, data tracks and damaged discs, one reader per disc, and
// kelvanto-batch on an image.
#include "CdImages.h"
#include "MediaTools.h"
#include "TestSupport.h"
#include "convert/OutputNaming.h"
#include "formats/WavFormat.h"
#include "engine/AudioError.h"
#include "engine/CdAudio.h"
#include "engine/CdSource.h"
#include "engine/Decoders.h"
#include "filelist/AddFile2Grid.h"
#include "filelist/PathExpansion.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kv;
using namespace kvtest;

namespace {

class NoStop final : public ConversionControl {
public:
    bool stopRequested() const override { return false; }
    void progress(double) override {}
};

// A data track, then three tones of 2.0, 3.51 and 1.6 seconds.
class CdTracks : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterDecoders();
        dir = new QTemporaryDir;
        pcm = {CdTone(150, 440), CdTone(263, 554.37), CdTone(120, 659.25)};
        std::vector<CdImageTrack> tracks{{false, QByteArray(150 * 2352, '\x5a')}};
        for (const QByteArray& p : pcm)
            tracks.push_back({true, p});
        auto image = [&](const char* cue, const char* bin) {
            return WriteCdImage(dir->filePath(cue), dir->filePath(bin), tracks);
        };
        cue = image("album.cue", "album.bin");
        // A data file named unlike its sheet, one that is gone, one cut after 400 sectors.
        renamed = image("other/Live Set.CUE", "other/set data.bin");
        missing = image("gone/x.cue", "gone/x.bin");
        QFile::remove(dir->filePath("gone/x.bin"));
        cut = image("cut/y.cue", "cut/y.bin");
        QFile(dir->filePath("cut/y.bin")).resize(400 * 2352);
    }
    static void TearDownTestSuite() { delete dir; }

    static QString track(const QString& image, int n) { return MakeCdTrackPath(image, n); }
    static FileListRow add(QString path) {
        FileListModel model;
        RecordingAddHost host;
        EXPECT_EQ(AddFile(path, model, host), AddFileResult::Added) << path.toStdString();
        return model.rowCount() == 1 ? model.table()->row(0) : FileListRow();
    }

    static inline QTemporaryDir* dir = nullptr;
    static inline std::vector<QByteArray> pcm;
    static inline QString cue, renamed, missing, cut;
};

TEST_F(CdTracks, ListsTheAudioTracksWithTheirLengthsFromTheTable) {
    const QString lengths[] = {"00:02", "00:04", "00:02"};
    for (const QString& image : {cue, renamed}) {
        SCOPED_TRACE(image.toStdString());
        const PathsToAdd listed = ExpandPathForAdding(image);
        ASSERT_EQ(listed.paths, (QStringList{track(image, 2), track(image, 3), track(image, 4)}));
        for (int i = 0; i < 3; ++i) {
            const FileListRow row = add(listed.paths[i]);
            EXPECT_EQ(row.Status, kStatusWaiting);
            EXPECT_EQ(row.Duration, lengths[i]);
            EXPECT_EQ(row.FileSize, QStringLiteral("CD Track"));
        }
    }
    // In a folder, the sheet gives its tracks in its place and takes its data file with it.
    EXPECT_EQ(ExpandPathForAdding(dir->path()).paths,
              (QStringList{track(cue, 2), track(cue, 3), track(cue, 4)}));
    EXPECT_EQ(ExpandDiscPaths({missing, dir->filePath("album.bin")}),
              (QStringList{track(missing, 1), dir->filePath("album.bin")}));
}

TEST_F(CdTracks, RipsEveryTrackSampleExactIntoTheChosenFolder) {
    QTemporaryDir out;
    const OutputFolderChoice sameFolder{true, out.path()};
    const std::pair<QString, int> cases[] = {{cue, 2}, {cue, 3}, {cue, 4}, {renamed, 3}, {cut, 2}};
    for (const auto& [image, n] : cases) {
        SCOPED_TRACE(track(image, n).toStdString());
        const OutputName name = GetOutputFileName(track(image, n), "wav", sameFolder);
        const QString expected = out.filePath(QStringLiteral("Track%1").arg(n, 2, 10, QChar('0')));
        EXPECT_TRUE(name.path == expected + ".wav" || name.path == expected + "_Converted.wav");
        NoStop control;
        ASSERT_EQ(ConvertToWAV(track(image, n), name.path, control), FileOutcome::Complete);
        const std::optional<QByteArray> decoded = FfmpegDecode(name.path, "s16le");
        ASSERT_TRUE(decoded);
        EXPECT_TRUE(*decoded == pcm[n - 2]) << decoded->size() << " bytes";
    }
    EXPECT_TRUE(QFileInfo::exists(out.filePath("Track03_Converted.wav")));
}

// A track's whole audio as its stream gives it; nothing when the stream fails on the way.
std::optional<QByteArray> ReadTrack(const QString& path) {
    std::unique_ptr<DecodeStream> s = OpenStreamUnicode(path);
    if (!s)
        return std::nullopt;
    QByteArray out;
    std::vector<char> block(64 * 1024);
    for (std::int64_t n; (n = s->read(block.data(), std::ssize(block))) > 0;)
        out.append(block.data(), n);
    if (AudioErrorGetCode() != kAudioOk || out.size() != s->length())
        return std::nullopt;
    return out;
}

// CD+G sectors: 2352 bytes of audio and 96 of subcode each.
QByteArray WithSubcode(const QByteArray& pcm) {
    QByteArray out;
    for (qsizetype at = 0; at < pcm.size(); at += 2352)
        out += pcm.mid(at, 2352) + QByteArray(96, '\x3f');
    return out;
}

TEST_F(CdTracks, ReadsEveryTrackWhereItsSheetLaysItOut) {
    const QByteArray a = CdTone(150, 440), b = CdTone(100, 554.37), gap = CdTone(30, 880);
    // The last track ends 1000 bytes into a sector.
    const QByteArray partial = CdTone(81, 659.25).left(80 * 2352 + 1000);
    struct Sheet {
        const char* name;
        QByteArray head;
        std::vector<CdImageTrack> tracks;
        std::vector<std::pair<int, QByteArray>> audio; // by track number
    };
    const Sheet sheets[] = {
        // Data of 2048-byte sectors first, a pregap not in the file, then audio whose gap
        // (INDEX 00 to 01) ends the track before it, as a drive reads it.
        {"mixed",
         {},
         {{false, QByteArray(150 * 2048, '\x5a'), "MODE1/2048"},
          {true, a, {}, {}, {}, false, "    PREGAP 00:02:00\r\n"},
          {true, b, {}, gap}},
         {{2, a + gap}, {3, b}}},
        {"mid-sector", {}, {{true, a}, {true, partial}}, {{1, a}, {2, partial}}},
        // A byte-order mark; several files, of data, CD+G and big-endian samples.
        {"bom-files",
         "\xEF\xBB\xBF",
         {{true, a},
          {false, QByteArray(40 * 2336, '\x33'), "MODE2/2336", {}, "b.bin"},
          {true, WithSubcode(b), "CDG", {}, "c.bin"},
          {true, partial},
          {true, gap, {}, {}, "d.bin", true}},
         {{1, a}, {3, b}, {4, partial}, {5, gap}}},
    };
    for (const Sheet& sheet : sheets) {
        SCOPED_TRACE(sheet.name);
        const QString folder = dir->filePath(QStringLiteral("layout/") + sheet.name);
        const QString image =
            WriteCdImage(folder + "/disc.cue", folder + "/disc.bin", sheet.tracks, sheet.head);
        ASSERT_FALSE(image.isEmpty());
        QStringList listed;
        for (const auto& [n, pcm] : sheet.audio) {
            listed << track(image, n);
            const std::optional<QByteArray> got = ReadTrack(track(image, n));
            ASSERT_TRUE(got) << "track " << n << ": error " << AudioErrorGetCode();
            EXPECT_TRUE(*got == pcm)
                << "track " << n << ": " << got->size() << " of " << pcm.size() << " bytes";
        }
        EXPECT_EQ(ExpandPathForAdding(image).paths, listed);
    }
}

TEST_F(CdTracks, ASheetReadsOnlyRegularFilesInItsOwnFolder) {
    QTemporaryDir root;
    const QByteArray secret = CdTone(20, 440);
    ASSERT_TRUE(WriteBytes(root.filePath("secret.bin"), secret));
    ASSERT_TRUE(WriteBytes(root.filePath("in/sub/ok.bin"), secret));
    ASSERT_TRUE(QFile::link(root.filePath("secret.bin"), root.filePath("in/out.bin")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(root.filePath("in/pipe.bin")).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(root.filePath("in/pipe.cue")).constData(), 0600), 0);
    auto sheet = [&](const QString& name, const QString& data) {
        const QString cue = root.filePath("in/" + name + ".cue");
        EXPECT_TRUE(WriteBytes(cue, "FILE \"" + data.toUtf8() +
                                        "\" BINARY\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"));
        return cue;
    };
    const std::pair<QString, bool> cases[] = {
        // a sheet, whether it is refused
        {sheet("absolute", root.filePath("secret.bin")), true},
        {sheet("up", "../secret.bin"), true},
        {sheet("link", "out.bin"), true},
        {sheet("fifo", "pipe.bin"), true},
        {root.filePath("in/pipe.cue"), true},
        {sheet("below", "sub/../sub/ok.bin"), false},
    };
    for (const auto& [cue, refused] : cases) {
        SCOPED_TRACE(cue.toStdString());
        const auto [prompt, got] = ReadUnstuck(
            std::chrono::seconds(1), {root.filePath("in/pipe.bin"), root.filePath("in/pipe.cue")},
            [cue = cue, secret] {
                const bool opened = ReadTrack(track(cue, 1)) == secret;
                return std::pair{opened ? kAudioOk : AudioErrorGetCode(), ExpandDiscPaths({cue})};
            });
        ASSERT_TRUE(prompt);
        const auto& [code, listed] = got;
        EXPECT_EQ(code, refused ? kAudioErrorCdInit : kAudioOk);
        // A refused sheet still stands for its disc, whose first track then fails.
        if (!cue.endsWith("pipe.cue")) {
            EXPECT_EQ(listed, QStringList{track(cue, 1)});
        }
    }
}

TEST_F(CdTracks, DataTracksAndDamagedDiscsEndInError) {
    const std::pair<QString, int> cases[] = {
        {track(cue, 1), kAudioErrorNotAudioTrack}, {track(cue, 5), kAudioErrorCdTrack},
        {track(missing, 1), kAudioErrorCdInit},    {track(cut, 3), kAudioErrorCdTrack},
        {track(cut, 4), kAudioErrorCdTrack},       {track(dir->path(), 1), kAudioErrorCdInit},
    };
    for (const auto& [path, code] : cases) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(OpenStreamUnicode(path), nullptr);
        EXPECT_EQ(AudioErrorGetCode(), code);
        EXPECT_FALSE(GetAudioErrorText(code).isEmpty());
        const FileListRow row = add(path);
        EXPECT_EQ(row.Status, kStatusNotSupported);
        EXPECT_EQ(row.Duration, QStringLiteral("Error"));
        EXPECT_EQ(row.FileSize, QStringLiteral("CD Track"));
    }
}

TEST_F(CdTracks, ADataFileCutWhileATrackIsReadEndsTheTrackInError) {
    QTemporaryDir copy;
    const QString image = copy.filePath("album.cue");
    ASSERT_TRUE(QFile::copy(cue, image) &&
                QFile::copy(dir->filePath("album.bin"), copy.filePath("album.bin")));
    std::unique_ptr<DecodeStream> stream = OpenStreamUnicode(track(image, 3));
    ASSERT_NE(stream, nullptr);
    std::vector<char> block(64 * 1024);
    ASSERT_EQ(stream->read(block.data(), static_cast<std::int64_t>(block.size())),
              static_cast<std::int64_t>(block.size()));
    ASSERT_EQ(AudioErrorGetCode(), kAudioOk);
    // Cut a few sectors into the track, as a download or a copy stopped part-way would.
    ASSERT_TRUE(QFile(copy.filePath("album.bin")).resize((150 + 150 + 40) * 2352));
    while (stream->isActive() &&
           stream->read(block.data(), static_cast<std::int64_t>(block.size())) > 0 &&
           AudioErrorGetCode() == kAudioOk) {
    }
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorCdTrack);
    EXPECT_LT(stream->position(), 100 * 2352);
}

TEST_F(CdTracks, OneReaderPerDiscTheNextWaitsForIt) {
    char block[4096];
    auto first = OpenStreamUnicode(track(cue, 2));
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(first->read(block, sizeof block), 4096); // holds the image from now on

    // Another disc is read meanwhile.
    auto elsewhere = OpenStreamUnicode(track(renamed, 2));
    EXPECT_EQ(elsewhere->read(block, sizeof block), 4096);

    // With no time to wait, a second reader of the image ends at once with error 30.
    const int saved = CdReaderWaitMs();
    SetCdReaderWaitMs(0);
    auto refused = OpenStreamUnicode(track(cue, 3));
    EXPECT_EQ(refused->read(block, sizeof block), 0);
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorPlaying);

    // Otherwise it waits, and reads once the first has gone.
    SetCdReaderWaitMs(60000);
    std::atomic<std::int64_t> got{-1};
    std::thread second([&] {
        auto s = OpenStreamUnicode(track(cue, 3));
        char b[4096];
        got = s ? s->read(b, sizeof b) : -2;
    });
    EXPECT_TRUE(QTest::qWaitFor([] { return CdReadersWaiting(cue) == 1; }, 20000));
    EXPECT_EQ(got, -1);
    first.reset();
    second.join();
    EXPECT_EQ(got, 4096);
    SetCdReaderWaitMs(saved);
}

TEST_F(CdTracks, RecognisesDiscsAmongPaths) {
    ASSERT_TRUE(WriteBytes(dir->filePath("rip.cue"), "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n"));
    ASSERT_TRUE(WriteBytes(dir->filePath("two.cue"), "FILE a.bin BINARY\nFILE b.bin BINARY\n"));
    // Sheets of rips, data files, folders and other devices are no discs.
    for (const QString& path : {dir->filePath("rip.cue"), dir->filePath("two.cue"),
                                dir->filePath("album.bin"), dir->path(), QString("/dev/null")})
        EXPECT_EQ(CdSourceOf(path), QString()) << path.toStdString();
    EXPECT_EQ(CdSourceOf(renamed), renamed);
    const QByteArray mounts = "25 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                              "90 25 11:0 / /media/u/My\\040Disc ro - iso9660 /dev/sr0 ro\n";
    EXPECT_EQ(MountedDevice(mounts, "/media/u/My Disc/"), QStringLiteral("/dev/sr0"));
    EXPECT_EQ(MountedDevice(mounts, "/media/u"), QString());
}

TEST_F(CdTracks, BatchToolAddsAndRipsTheTracksOfAnImage) {
    QTemporaryDir out;
    const ProgramRun r =
        PrivateHome().run(BatchTool(), {"--convert", "--format", "wav", "--out", out.path(), cue});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString wav = out.filePath("Track03.wav");
    EXPECT_EQ(r.lines.value(1),
              QStringList({track(cue, 3), "Complete", "00:04", "CD Track", wav}).join('\t'));
    EXPECT_EQ(FfmpegDecode(wav, "s16le").value_or(QByteArray()), pcm[1]);
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files).size(), 3);
}

} // namespace
