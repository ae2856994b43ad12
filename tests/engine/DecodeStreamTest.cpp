// Decoding against the ffmpeg and ffprobe command lines: stream parameters, promised lengths
// and the bytes delivered when a stream is read to its end.
#include "MediaTools.h"
#include "SynthFixtures.h"
#include "engine/AudioError.h"
#include "engine/Decoders.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
#include <cmath>

using namespace kv;
using namespace kvtest;

namespace {

struct Fixture {
    const char* name;
    const char* file;
    enum Kind { Sine, Video } kind;
    double seconds;
    int rate;
    int channels;
    QStringList codec;
    // The container states the length, so reading delivers exactly it.
    bool exact;
    // Bytes identical to the ffmpeg command line's decode (lossless sources).
    bool sameBytes;
    bool eightBit = false;
};

QStringList L(std::initializer_list<const char*> items) {
    QStringList l;
    for (const char* i : items)
        l << QString::fromLatin1(i);
    return l;
}

std::vector<Fixture> fixtures() {
    return {
        {"wav_u8_mono", "u8 mono.wav", Fixture::Sine, 2.3, 22050, 1, L({"-c:a", "pcm_u8"}), true,
         true, true},
        {"wav_s16_stereo", "s16 stereo.wav", Fixture::Sine, 3.2, 44100, 2, L({"-c:a", "pcm_s16le"}),
         true, true},
        {"wav_s24", "s24.wav", Fixture::Sine, 2.2, 48000, 2, L({"-c:a", "pcm_s24le"}), true, true},
        {"wav_f32", "f32.wav", Fixture::Sine, 2.2, 44100, 2, L({"-c:a", "pcm_f32le"}), true, true},
        {"wav_51", "surround.wav", Fixture::Sine, 1.7, 48000, 6, L({"-c:a", "pcm_s16le"}), true,
         true},
        {"flac", "tone.flac", Fixture::Sine, 3.3, 44100, 2, L({"-c:a", "flac"}), true, true},
        {"mp3_cbr", "cbr.mp3", Fixture::Sine, 3.3, 44100, 2,
         L({"-c:a", "libmp3lame", "-b:a", "128k"}), true, false},
        {"mp3_vbr", "vbr.mp3", Fixture::Sine, 3.3, 44100, 2, L({"-c:a", "libmp3lame", "-q:a", "4"}),
         true, false},
        {"mp3_no_index", "noindex.mp3", Fixture::Sine, 3.3, 44100, 2,
         L({"-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0"}), false, false},
        {"ogg_vorbis", "tone.ogg", Fixture::Sine, 3.2, 44100, 2, L({"-c:a", "libvorbis"}), true,
         false},
        {"wma", "tone.wma", Fixture::Sine, 3.2, 44100, 2, L({"-c:a", "wmav2", "-b:a", "128k"}),
         false, false},
        {"aac_m4a", "tone.m4a", Fixture::Sine, 3.2, 44100, 2, L({"-c:a", "aac"}), true, false},
        {"aac_mp4", "tone.mp4", Fixture::Sine, 3.2, 48000, 2, L({"-c:a", "aac"}), true, false},
        {"ac3", "tone.ac3", Fixture::Sine, 3.2, 48000, 2, L({"-c:a", "ac3"}), false, false},
        {"alac", "alac.m4a", Fixture::Sine, 3.2, 44100, 2, L({"-c:a", "alac"}), true, true},
        {"tta", "tone.tta", Fixture::Sine, 3.2, 44100, 2, L({"-c:a", "tta"}), true, true},
        {"wavpack", "tone.wv", Fixture::Sine, 3.2, 44100, 2, L({"-c:a", "wavpack"}), true, true},
        {"adx", "tone.adx", Fixture::Sine, 3.2, 44100, 2, L({"-c:a", "adpcm_adx"}), false, false},
        {"speex", "tone.spx", Fixture::Sine, 3.2, 16000, 1, L({"-c:a", "libspeex"}), true, false},
        {"avi", "clip.avi", Fixture::Video, 2.2, 44100, 2,
         L({"-c:v", "mpeg4", "-c:a", "libmp3lame", "-b:a", "128k"}), false, false},
        {"mp4_video", "clip.mp4", Fixture::Video, 2.2, 44100, 2,
         L({"-c:v", "mpeg4", "-c:a", "aac"}), true, false},
        {"mov", "clip.mov", Fixture::Video, 2.2, 44100, 2,
         L({"-c:v", "mpeg4", "-c:a", "pcm_s16le"}), true, true},
        {"wmv", "clip.wmv", Fixture::Video, 2.2, 44100, 2, L({"-c:v", "wmv2", "-c:a", "wmav2"}),
         false, false},
        {"asf", "clip.asf", Fixture::Video, 2.2, 44100, 2, L({"-c:v", "wmv2", "-c:a", "wmav2"}),
         false, false},
        {"mpg", "clip.mpg", Fixture::Video, 2.2, 44100, 2,
         L({"-c:v", "mpeg1video", "-r", "25", "-c:a", "mp2", "-b:a", "192k"}), false, false},
    };
}

class DecodeTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterDecoders(); }
    QTemporaryDir dir;
};

// What this process has read from files so far, and its peak memory.
qint64 bytesReadSoFar() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}
qint64 peakBytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return qint64(u.ru_maxrss) * 1024;
}

// Reads the stream to its end in blocks; the bytes delivered.
QByteArray readAll(DecodeStream& s, int block = 20000) {
    QByteArray all;
    QByteArray buf(block, '\0');
    for (int guard = 0; guard < 1000000; ++guard) {
        const std::int64_t got = s.read(buf.data(), block);
        if (got <= 0)
            break;
        all.append(buf.constData(), static_cast<int>(got));
    }
    return all;
}

} // namespace

TEST_F(DecodeTest, EveryFormatMatchesFfprobeAndDeliversItsLength) {
    for (const Fixture& f : fixtures()) {
        SCOPED_TRACE(f.name);
        const QString path = dir.filePath(QString::fromUtf8(f.file));
        const bool made =
            f.kind == Fixture::Video
                ? MakeVideo(path, f.seconds, f.codec)
                : MakeSine(path, f.seconds, f.rate, f.channels,
                           f.codec + L({"-ar"}) + QStringList{QString::number(f.rate)});
        if (!made) {
            ADD_FAILURE() << "ffmpeg could not make the fixture";
            continue;
        }
        const std::optional<ProbeInfo> probe = FfprobeAudio(path);
        ASSERT_TRUE(probe.has_value());

        std::unique_ptr<DecodeStream> s = OpenStreamUnicode(path);
        ASSERT_NE(s, nullptr) << "error " << AudioErrorGetCode();
        EXPECT_EQ(AudioErrorGetCode(), kAudioOk);
        EXPECT_EQ(s->kind(), ChannelKind::Stream);
        EXPECT_EQ(s->info().sampleRate, probe->sampleRate);
        EXPECT_EQ(s->info().channels, probe->channels);
        EXPECT_EQ(s->info().eightBit, f.eightBit);
        EXPECT_EQ(s->lengthIsExact(), f.exact);
        EXPECT_EQ(s->length() % s->bytesPerFrame(), 0);
        // ffprobe counts the MP3 encoder's delay and padding (up to about 0.05 s) as play time.
        EXPECT_NEAR(s->bytesToSeconds(s->length()), probe->duration, 0.06);
        EXPECT_TRUE(s->isActive());
        EXPECT_EQ(s->position(), 0);

        const QByteArray ours = readAll(*s);
        EXPECT_FALSE(s->isActive());
        EXPECT_EQ(s->position(), ours.size());
        if (f.exact) {
            EXPECT_EQ(ours.size(), s->length());
        } else {
            EXPECT_NEAR(double(ours.size()), double(s->length()), 0.05 * s->length());
        }

        const std::optional<QByteArray> theirs =
            FfmpegDecode(path, f.eightBit ? QStringLiteral("u8") : QStringLiteral("s16le"));
        ASSERT_TRUE(theirs.has_value());
        if (f.sameBytes) {
            EXPECT_EQ(ours.size(), theirs->size());
            EXPECT_TRUE(ours == *theirs) << "decoded bytes differ from ffmpeg's";
        } else {
            // The command line keeps the last AAC frame whole where the edit list cuts it.
            EXPECT_LE(std::abs(ours.size() - theirs->size()), 2048 * s->bytesPerFrame());
        }
    }
}

TEST_F(DecodeTest, ReadsSplitAcrossFramesGiveTheSameBytes) {
    const QString path = dir.filePath(QStringLiteral("surround.wav"));
    ASSERT_TRUE(MakeSine(path, 0.4, 8000, 6, L({"-c:a", "pcm_s16le"})));
    auto whole = OpenStreamUnicode(path);
    auto pieces = OpenStreamUnicode(path);
    ASSERT_TRUE(whole && pieces);
    const QByteArray expected = readAll(*whole);
    QByteArray got;
    // Odd sizes cut frames (12 bytes here) and samples in every possible place.
    const int sizes[] = {1, 3, 5, 7, 11, 13, 4099};
    char buf[4099];
    for (int i = 0; pieces->isActive(); ++i) {
        const std::int64_t n = pieces->read(buf, sizes[i % 7]);
        if (n <= 0)
            break;
        got.append(buf, static_cast<int>(n));
        EXPECT_EQ(pieces->position(), got.size());
    }
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
}

TEST_F(DecodeTest, TrackerModuleOpensOnlyAsMusic) {
    const QString path = dir.filePath(QStringLiteral("song.mod"));
    ASSERT_TRUE(WriteBytes(path, MakeProTrackerModule(2)));
    EXPECT_EQ(OpenStreamUnicode(path), nullptr);
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorFormat);

    std::unique_ptr<DecodeStream> m = LoadMusicUnicode(path);
    ASSERT_NE(m, nullptr) << "error " << AudioErrorGetCode();
    EXPECT_EQ(m->kind(), ChannelKind::Music);
    EXPECT_EQ(m->info().sampleRate, 44100);
    EXPECT_EQ(m->info().channels, 2);
    EXPECT_NEAR(m->bytesToSeconds(m->length()), 2 * kModuleSecondsPerPattern, 0.01);
    // ffprobe reads modules through the same library, so it is a check of our use of it.
    const std::optional<ProbeInfo> probe = FfprobeAudio(path);
    if (probe && probe->duration > 0) {
        EXPECT_NEAR(m->bytesToSeconds(m->length()), probe->duration, 0.05);
    }
    const QByteArray pcm = readAll(*m);
    EXPECT_EQ(pcm.size(), m->length());
    EXPECT_NE(pcm.count('\0'), pcm.size()) << "the module rendered silence only";
}

TEST_F(DecodeTest, MidiFilePlaysItsOwnLengthThroughTheSoundfont) {
    ASSERT_TRUE(RegisteredDecoders().contains(QStringLiteral("FluidSynth")))
        << "timgm6mb-soundfont is a dependency; the MIDI back-end must be there";
    const QString path = dir.filePath(QStringLiteral("tune.mid"));
    ASSERT_TRUE(WriteBytes(path, MakeMidiFile()));
    std::unique_ptr<DecodeStream> s = OpenStreamUnicode(path);
    ASSERT_NE(s, nullptr) << "error " << AudioErrorGetCode();
    EXPECT_EQ(s->kind(), ChannelKind::Stream);
    EXPECT_TRUE(s->lengthIsExact());
    EXPECT_EQ(s->length(), std::llround(kMidiFileSeconds * 44100) * 4);
    const QByteArray pcm = readAll(*s, 262144);
    EXPECT_EQ(pcm.size(), s->length());
    EXPECT_EQ(AudioErrorGetCode(), kAudioOk);
    int peak = 0;
    for (int i = 0; i + 1 < pcm.size(); i += 2)
        peak = std::max(
            peak, std::abs(int(static_cast<qint16>(quint8(pcm[i]) | (quint8(pcm[i + 1]) << 8)))));
    EXPECT_GT(peak, 1000) << "the notes were not heard";
}

TEST_F(DecodeTest, DamagedAndForeignFilesAreRefused) {
    const QString good = dir.filePath(QStringLiteral("good.wav"));
    ASSERT_TRUE(MakeSine(good, 1.0, 44100, 2, L({"-c:a", "pcm_s16le"})));
    QFile g(good);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    const QByteArray wav = g.readAll();
    QByteArray random(64 * 1024, '\0');
    quint32 x = 12345;
    for (char& c : random) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    static const char kFakeMidi[] = "MThd\0\0\0\6\0\1\0\2\1\xE0MTrk\0\0\0\7\xFF";
    const struct {
        const char* file;
        QByteArray bytes;
    } cases[] = {
        {"empty.wav", QByteArray()},
        {"header cut.wav", wav.left(30)},
        {"random.mp3", random},
        {"random.wav", random},
        {"random.mid", random},
        {"text.flac", QByteArray("this is a text file, not a flac stream\n").repeated(50)},
        // A header, then a track that claims 7 bytes and holds one.
        {"fake midi.mid", QByteArray(kFakeMidi, sizeof(kFakeMidi) - 1)},
        {"fake module.mod", MakeProTrackerModule().left(600)},
        {"optimfrog.ofr", QByteArray("OFR ") + random.left(4096)},
    };
    const int fdsBefore = OpenFileDescriptors();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = dir.filePath(QString::fromUtf8(c.file));
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        EXPECT_EQ(OpenStreamUnicode(path), nullptr);
        EXPECT_EQ(AudioErrorGetCode(), kAudioErrorFormat);
        EXPECT_EQ(LoadMusicUnicode(path), nullptr);
        EXPECT_NE(AudioErrorGetCode(), kAudioOk);
    }
    EXPECT_EQ(LiveStreamCount(), 0);
    EXPECT_EQ(OpenFileDescriptors(), fdsBefore);
}

TEST_F(DecodeTest, TruncatedDataEndsEarlyWithoutHanging) {
    const QString good = dir.filePath(QStringLiteral("whole.flac"));
    ASSERT_TRUE(MakeSine(good, 3.0, 44100, 2, L({"-c:a", "flac"})));
    QFile g(good);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    const QByteArray flac = g.readAll();
    const QString cut = dir.filePath(QStringLiteral("cut.flac"));
    ASSERT_TRUE(WriteBytes(cut, flac.left(flac.size() / 2)));
    std::unique_ptr<DecodeStream> s = OpenStreamUnicode(cut);
    // The header still promises three seconds; what is there is delivered, then the end.
    ASSERT_NE(s, nullptr);
    const QByteArray pcm = readAll(*s);
    EXPECT_FALSE(s->isActive());
    EXPECT_GT(pcm.size(), 0);
    EXPECT_LT(pcm.size(), s->length());
}

TEST_F(DecodeTest, MissingFilesFoldersAndUnregisteredEngine) {
    EXPECT_EQ(OpenStreamUnicode(dir.filePath(QStringLiteral("none.wav"))), nullptr);
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorFileOpen);
    EXPECT_EQ(OpenStreamUnicode(dir.path()), nullptr);
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorFileOpen);
    EXPECT_EQ(LoadMusicUnicode(QString()), nullptr);
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorFileOpen);
    EXPECT_EQ(BytesToSeconds(nullptr, 100), 0.0);
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorHandle);

    const QString path = dir.filePath(QStringLiteral("a.wav"));
    ASSERT_TRUE(MakeSine(path, 0.5, 8000, 1, L({"-c:a", "pcm_s16le"})));
    UnregisterDecoders();
    EXPECT_EQ(OpenStreamUnicode(path), nullptr);
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorInit);
    RegisterDecoders();
    EXPECT_NE(OpenStreamUnicode(path), nullptr);
}

TEST_F(DecodeTest, WithoutASoundfontOnlyMidiIsLost) {
    const QString mid = dir.filePath(QStringLiteral("tune.mid"));
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    ASSERT_TRUE(WriteBytes(mid, MakeMidiFile()));
    ASSERT_TRUE(MakeSine(wav, 0.5, 8000, 1, L({"-c:a", "pcm_s16le"})));
    const QStringList saved = MidiSoundFontCandidates();
    UnregisterDecoders();
    SetMidiSoundFontCandidates({dir.filePath(QStringLiteral("missing.sf2"))});
    RegisterDecoders();
    EXPECT_EQ(RegisteredDecoders(),
              (QStringList{QStringLiteral("FFmpeg"), QStringLiteral("libopenmpt")}));
    EXPECT_EQ(OpenStreamUnicode(mid), nullptr);
    EXPECT_EQ(AudioErrorGetCode(), kAudioErrorFormat);
    EXPECT_NE(OpenStreamUnicode(wav), nullptr);
    UnregisterDecoders();
    SetMidiSoundFontCandidates(saved);
    RegisterDecoders();
    EXPECT_EQ(RegisteredDecoders(),
              (QStringList{QStringLiteral("FFmpeg"), QStringLiteral("libopenmpt"),
                           QStringLiteral("FluidSynth")}));
}

TEST_F(DecodeTest, NamesWithAccentsSpacesQuotesColonsAndDashes) {
    const char* names[] = {"Ünïcödé – 日本語.flac", "two  spaces.wav", "it's \"quoted\".wav",
                           "-leading dash.wav",     "a:colon.wav",     "percent %d #hash?.wav"};
    for (const char* n : names) {
        SCOPED_TRACE(n);
        const QString path = dir.filePath(QString::fromUtf8(n));
        ASSERT_TRUE(MakeSine(path, 0.5, 8000, 1, QStringList()));
        auto s = OpenStreamUnicode(path);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(readAll(*s).size(), s->length());
    }
}

TEST_F(DecodeTest, JunkIsRefusedAfterReadingLittleHoweverLargeItIs) {
    // Zeros that a parser scans to the end without finding a frame, and random bytes full of
    // false frame starts; each file a little over what may be read or kept, so a reader that
    // takes it whole fails.
    constexpr qint64 kMiB = 1024 * 1024;
    constexpr qint64 kLimit = 100 * kMiB, kSize = kLimit + 8 * kMiB;
    const struct {
        const char* file;
        bool random;
    } cases[] = {
        {"zeros.mp3", false}, {"zeros.mp2", false}, {"zeros.ac3", false}, {"zeros.aac", false},
        {"zeros.mpg", false}, {"random.ac3", true}, {"random.aac", true}, {"random.mp3", true},
    };
    const qint64 peakBefore = peakBytes();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const QString path = dir.filePath(QString::fromLatin1(c.file));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        if (c.random) {
            QByteArray block(kMiB, Qt::Uninitialized);
            for (qint64 written = 0; written < kSize; written += block.size()) {
                QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()),
                                                      block.size() / 4);
                ASSERT_EQ(f.write(block), block.size());
            }
        } else {
            ASSERT_TRUE(f.resize(kSize)); // sparse: no disk taken
        }
        f.close();
        const qint64 before = bytesReadSoFar();
        EXPECT_EQ(OpenStreamUnicode(path), nullptr);
        EXPECT_EQ(LoadMusicUnicode(path), nullptr);
        EXPECT_LT(bytesReadSoFar() - before, kLimit);
        QFile::remove(path);
    }
    EXPECT_LT(peakBytes() - peakBefore, kLimit);
}

TEST_F(DecodeTest, ACancelledOpenStopsBeforeReading) {
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("tone.mp3"));
    const QString mod = dir.filePath(QStringLiteral("tune.mod"));
    ASSERT_TRUE(MakeSine(wav, 2, 44100, 2, {}));
    ASSERT_TRUE(MakeSine(mp3, 2, 44100, 2, L({"-b:a", "128k"})));
    ASSERT_TRUE(WriteBytes(mod, MakeProTrackerModule(4)));
    std::atomic<bool> cancel{true};
    StreamOpenOptions options;
    options.cancel = &cancel;
    for (const QString& path : {wav, mp3, mod}) {
        SCOPED_TRACE(path.toStdString());
        const qint64 before = bytesReadSoFar();
        EXPECT_EQ(OpenStreamUnicode(path, options), nullptr);
        EXPECT_EQ(LoadMusicUnicode(path, options), nullptr);
        EXPECT_LT(bytesReadSoFar() - before, 8192);
    }
    cancel = false;
    EXPECT_NE(OpenStreamUnicode(wav, options), nullptr);
    EXPECT_NE(OpenStreamUnicode(mp3, options), nullptr);
    EXPECT_NE(LoadMusicUnicode(mod, options), nullptr);
}

TEST_F(DecodeTest, AnExtensionThatLiesChangesNothing) {
    const QStringList extensions =
        L({"wav", "mp3", "flac", "ogg", "mp4", "mov", "wma", "avi", "ape", "tta", "spx"});
    for (const QString& kind : L({"wav", "mp3", "flac", "ogg", "mp4", "wma"})) {
        const QString path = dir.filePath(QStringLiteral("s.") + kind);
        ASSERT_TRUE(
            MakeSine(path, 2.3, 22050, 2, kind == "ogg" ? L({"-c:a", "libvorbis"}) : L({})));
        const auto own = OpenStreamUnicode(path);
        ASSERT_NE(own, nullptr);
        for (const QString& ext : extensions) {
            SCOPED_TRACE((kind + " as ." + ext).toStdString());
            const QString liar = dir.filePath(QStringLiteral("liar.") + ext);
            QFile::remove(liar);
            ASSERT_TRUE(QFile::copy(path, liar));
            const auto s = OpenStreamUnicode(liar);
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(s->length(), own->length());
            EXPECT_EQ(s->lengthIsExact(), own->lengthIsExact());
            EXPECT_EQ(s->bytesPerFrame() * s->info().sampleRate,
                      own->bytesPerFrame() * own->info().sampleRate);
        }
    }
}
