#include "formats/Mp3OggConverter.h"
#include "formats/ErrorLog.h"
#include "convert/SettingsOptions.h"
#include "engine/Decoders.h"
#include "settings/ProgramFolder.h"
#include "settings/SettingOverrides.h"

#include "ConversionControls.h"
#include "MediaTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace kv;
using namespace kvtest;

namespace {
// The saved defaults with "NAME=VALUE ..." over them, as the window or the tool builds them.
ConversionOptions optionsWith(const QString& settings) {
    OutputSettings values;
    for (const QString& s : settings.split(' ', Qt::SkipEmptyParts))
        EXPECT_TRUE(ApplySettingOverride(values, s).isEmpty()) << s.toStdString();
    return ConversionOptionsFrom(values);
}

// ffprobe's view of the first audio stream.
QMap<QString, QString> probe(const QString& path) {
    return FfprobeFields(path,
                         "stream=codec_name,sample_rate,channels,channel_layout,bit_rate:"
                         "format=duration",
                         {"-select_streams", "a:0"});
}

// The first MPEG frame's channel mode and, from lame's tag in it, its bitrate method and the
// quality figure lame records (100 - 10 * VBR level - the -q value), e.g. "joint CBR 56".
QString mp3Shape(const QByteArray& f) {
    int i = 0;
    while (i + 200 < f.size() && !(uchar(f[i]) == 0xFF && (uchar(f[i + 1]) & 0xE0) == 0xE0))
        ++i;
    const int x = std::max(f.indexOf("Xing", i), f.indexOf("Info", i));
    if (i + 200 >= f.size() || x < 0 || x > i + 64)
        return QString();
    const char *modes[] = {"stereo", "joint", "dual", "mono"}, *methods[] = {"VBR", "CBR", "ABR"};
    const int method = uchar(f[x + 129]) & 0x0F;
    return QStringLiteral("%1 %2 %3")
        .arg(modes[uchar(f[i + 3]) >> 6], methods[method < 3 ? method : 0])
        .arg(qFromBigEndian<quint32>(f.constData() + x + 116));
}

QStringList logLines(const QString& file) {
    return QString::fromUtf8(ReadBytes(file)).split("\r\n", Qt::SkipEmptyParts);
}

class Mp3OggConversion : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterDecoders();
        sources = new QTemporaryDir;
        // Noise under a tone, so the variable modes have something to vary on.
        ASSERT_TRUE(MakeWithFfmpeg({"-f", "lavfi", "-i", "anoisesrc=d=3:c=pink:a=0.3", "-f",
                                    "lavfi", "-i", "sine=f=440:d=3", "-filter_complex",
                                    "[0][1]amerge=inputs=2", "-ar", "44100", "-c:a", "flac"},
                                   source(kOdd + ".flac")));
        // Every speaker at a level of its own, doubling from 0.01 (60 Hz on the LFE).
        for (const QString layout : {"5.1(side)", "6.1(back)"}) {
            QStringList speakers;
            for (int i = 0; i < layout.left(1).toInt() + 1; ++i)
                speakers << QStringLiteral("%1*sin(2*PI*%2*t)")
                                .arg(0.01 * (1 << i))
                                .arg(i == 3 ? 60 : 300);
            ASSERT_TRUE(MakeWithFfmpeg(
                {"-f", "lavfi", "-i",
                 QStringLiteral("aevalsrc=%1:c=%2:s=44100:d=3").arg(speakers.join('|'), layout),
                 "-c:a", "pcm_s16le"},
                source(layout + ".wav")));
        }
        ASSERT_TRUE(MakeSine(source("u8.wav"), 3.0, 8000, 1, {"-c:a", "pcm_u8"}));
        ASSERT_TRUE(MakeSine(source("long.flac"), 12.0, 44100, 2, {"-c:a", "flac"}));
    }
    static void TearDownTestSuite() { delete sources; }
    void SetUp() override { SetProgramFolder(at("prog")), QDir().mkpath(at("prog")); }
    void TearDown() override { SetProgramFolder(QString()); }
    static QString source(const QString& name) { return sources->filePath(name); }
    // Quotes, spaces, a shell's characters, non-ASCII letters and a leading "-".
    static inline const QString kOdd = QStringLiteral("-x 'q' \"dq\" $HOME; ü 日本");
    QString at(const QString& name) const { return dir.filePath(name); }
    QString log() const { return at("prog Errors.log"); }

    static inline QTemporaryDir* sources = nullptr;
    QTemporaryDir dir;
};
} // namespace

TEST_F(Mp3OggConversion, EveryOptionReachesTheEncoderAndShowsInItsOutput) {
    // Over the defaults: MP3 CBR 128, "Joint Stereo", "Auto Sampling", quality 5; Ogg VBR
    // 128, quality 3. `shape` is the MP3 frame's or the Ogg layout; kbps: MP3 the file's rate,
    // Ogg the header's nominal one. "" is the odd-named stereo source. `from`: the source
    // speaker each channel carries, as ffmpeg reads Vorbis 5.1 (FL FR FC LFE BL BR) and 6.1
    // (FL FR FC LFE BC SL SR).
    const struct {
        const char *source, *set, *args;
        int rate, channels;
        const char* shape;
        int minKbps, maxKbps;
        std::vector<int> from = {};
    } rows[] = {
        // clang-format off
        {"", "", "--cbr -b 128 -m j --resample 0 -q 4 -", 44100, 2, "joint CBR 56", 128, 128},
        {"", "optMP3ABR=1 cmbMP3ABitrate=0 cmbMP3StereoMode=1 cmbMP3Freq=9 SliderMP3EncoderQuality=9",
         "--abr 310 -m s --resample 48 -q 0 -", 48000, 2, "stereo ABR 60", 200, 330},
        {"", "optMP3VBR=1 SliderMP3VBR=9 cmbMP3StereoMode=4 cmbMP3Freq=5",
         "-V 0 -m d --resample 22.05 -q 4 -", 22050, 2, "dual VBR", 90, 200},
        {"", "optMP3VBR=1 SliderMP3VBR=0 cmbMP3StereoMode=0 cmbMP3Freq=2 SliderMP3EncoderQuality=0",
         "-V 9 -m m --resample 11.025 -q 9 -", 11025, 1, "mono VBR", 8, 40},
        {"5.1(side).wav", "cmbMP3CBitrate=0 cmbMP3StereoMode=3",
         "--cbr -b 320 -m f --resample 0 -q 4 -", 44100, 2, "joint CBR 56", 320, 320},
        {"u8.wav", "cmbMP3StereoMode=0", "--cbr -b 128 -m m --resample 0 -q 4 -", 8000, 1,
         "mono CBR", 32, 128},
        {"", "optFileFormat=3", "-b 128 --quality 3 - -o", 44100, 2, "stereo", 100, 125},
        {"", "optFileFormat=3 sliderOGG=-2 cmbOGGVBitrate=8", "-b 64 --quality -1 - -o", 44100, 2,
         "stereo", 40, 50},
        {"", "optFileFormat=3 optOGGCBR=1 cmbOGGCBitrate=4", "--managed -b 192 - -o", 44100, 2,
         "stereo", 192, 192},
        // The side pair onto the back pair; the back pair onto the side pair.
        {"5.1(side).wav", "optFileFormat=3", "-b 128 --quality 3 - -o", 44100, 6, "5.1", 100, 400,
         {0, 1, 2, 3, 4, 5}},
        {"6.1(back).wav", "optFileFormat=3", "-b 128 --quality 3 - -o", 44100, 7, "6.1", 100, 600,
         {0, 1, 2, 3, 6, 4, 5}},
        // clang-format on
    };
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.set);
        const ConversionOptions options = optionsWith(row.set);
        const bool mp3 = options.outputFormat == kFormatMP3;
        EXPECT_EQ(EncoderCommandFor(options, "OUT").arguments.join(' '),
                  row.args + QString(" OUT"));
        // A relative output that begins with "-" still reaches the encoder as a file name.
        const QString out = kOdd + (mp3 ? ".mp3" : ".ogg");
        QFile::remove(out);
        CountingControl control;
        ASSERT_EQ(ConvertToMP3_OGG(source(*row.source ? row.source : kOdd + ".flac"), out, options,
                                   control),
                  FileOutcome::Complete);
        const auto p = probe(at(out));
        EXPECT_EQ(p["codec_name"], mp3 ? "mp3" : "vorbis");
        EXPECT_EQ(p["sample_rate"].toInt(), row.rate);
        EXPECT_EQ(p["channels"].toInt(), row.channels);
        EXPECT_NEAR(p["duration"].toDouble(), 3.0, 0.2); // the encoders' padding
        EXPECT_GE(p["bit_rate"].toInt(), row.minKbps * 1000);
        EXPECT_LE(p["bit_rate"].toInt(), row.maxKbps * 1000);
        const QString shape = mp3 ? mp3Shape(ReadBytes(at(out))) : p["channel_layout"];
        EXPECT_TRUE(shape.startsWith(row.shape)) << shape.toStdString();
        if (row.from.empty())
            continue;
        const QByteArray pcm = FfmpegDecode(at(out), "s16le").value_or(QByteArray());
        const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
        const qsizetype n = qsizetype(row.from.size()), frames = pcm.size() / 2 / n;
        for (qsizetype c = 0; c < n; ++c) {
            double sum = 0;
            for (qsizetype f = 0; f < frames; ++f)
                sum += double(s[f * n + c]) * s[f * n + c];
            // Within a third (Vorbis brings a low LFE tone out up to a quarter louder).
            const double level = 0.01 * (1 << row.from[size_t(c)]);
            EXPECT_NEAR(std::sqrt(2 * sum / frames) / 32768, level, level / 3) << "channel " << c;
        }
    }
    QDir::setCurrent(QDir::rootPath());
    EXPECT_FALSE(QFileInfo::exists(log()));
    EXPECT_EQ(LiveStreamCount(), 0);
}

TEST_F(Mp3OggConversion, StopLeavesAPlayablePartialFileAndNoLogLine) {
    for (const char* format : {"optFileFormat=2", "optFileFormat=3"}) {
        const QString out = at(format);
        CountingControl control;
        control.stopAfter = 2;
        EXPECT_EQ(ConvertToMP3_OGG(source("long.flac"), out, optionsWith(format), control),
                  FileOutcome::Cancelled);
        // Two blocks of 44.1 kHz stereo, finished by the encoder into a clean file.
        EXPECT_NEAR(probe(out)["duration"].toDouble(), 2.0 * kMp3OggBlockBytes / 176400, 0.2);
        const auto check = RunTool("ffmpeg", {"-v", "error", "-i", out, "-f", "null", "-"});
        EXPECT_EQ(check.exitCode, 0);
        EXPECT_TRUE(check.err.isEmpty()) << check.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(log()));
}

TEST_F(Mp3OggConversion, FailuresEndInErrorWithOneLogLineSayingWhy) {
    const QString src = source("long.flac");
    ASSERT_TRUE(WriteBytes(at("noise.flac"), QByteArray(5000, '\x5a')));
    // The killed stand-in tells its process id through a pipe: reading it waits for the script.
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("prog/lame.pid")), 0600), 0);
    QDir().mkpath(at("small"));
    const bool tmpfs =
        ::mount("tmpfs", QFile::encodeName(at("small")), "tmpfs", 0, "size=64k") == 0;
    const std::shared_ptr<void> unmount(nullptr, [&](void*) {
        if (tmpfs)
            ::umount(QFile::encodeName(at("small")));
    });
    const QByteArray path = qgetenv("PATH");
    std::unique_ptr<FileSizeLimit> limit; // a full disk where mounting is not allowed
    enum Fault { None, NoPath, Kill, RemoveFolder, FullDisk };
    const struct {
        const char *why, *lame; // a stand-in lame in the program folder
        Fault fault;
        QString source, output;
        int progressed; // -1: either way
    } cases[] = {
        {"Unsupported Format 6 ", nullptr, None, at("noise.flac"), at("a.mp3"), 0},
        {"lame was found neither in", nullptr, NoPath, src, at("b.mp3"), 0},
        {"lame exited with status 1: stand-in refuses", "echo 'stand-in refuses' >&2; exit 1", None,
         src, at("c.mp3"), -1},
        // It runs in a process group of its own, out of reach of a terminal's Ctrl+C.
        {"lame was ended by signal 9",
         "[ \"$(cut -d' ' -f5 /proc/$$/stat)\" = $$ ] && echo $$ > \"$0.pid\" || "
         "{ echo none > \"$0.pid\"; exit 3; }; exec lame \"$@\"",
         Kill, src, at("d.mp3"), 1},
        {"lame read nothing for 0.3 seconds", "exec sleep 600", None, src, at("e.mp3"), -1},
        {"lame left no output at", "exec cat > /dev/null", None, src, at("f.mp3"), 1},
        // lame fails to open it, or writes into the removed folder and leaves nothing.
        {"Couldn't create the file (lame ", nullptr, RemoveFolder, src, at("gone/g.mp3"), 1},
        {"lame exited with status 1", nullptr, FullDisk, src, at(tmpfs ? "small/h.mp3" : "h.mp3"),
         1},
    };
    int lines = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        if (c.lame) {
            ASSERT_TRUE(WriteBytes(at("prog/lame"), QByteArray("#!/bin/sh\n") + c.lame));
            QFile::setPermissions(at("prog/lame"), QFile::ReadOwner | QFile::ExeOwner);
        }
        if (c.fault == NoPath)
            qputenv("PATH", "/nonexistent");
        if (c.fault == FullDisk && !tmpfs)
            limit = std::make_unique<FileSizeLimit>(65536);
        CountingControl control;
        control.onFirst = [&] {
            if (c.fault == Kill)
                if (const int pid = ReadBytes(at("prog/lame.pid")).trimmed().toInt(); pid > 1)
                    ::kill(pid, SIGKILL);
            if (c.fault == RemoveFolder)
                QDir(at("gone")).removeRecursively();
        };
        ASSERT_TRUE(WriteBytes(c.output, QByteArray())); // the name, claimed by an empty file
        const FileOutcome outcome = ConvertToMP3_OGG(c.source, c.output, optionsWith(""), control,
                                                     std::chrono::milliseconds(300));
        limit.reset();
        qputenv("PATH", path);
        QFile::remove(at("prog/lame"));
        EXPECT_EQ(outcome, FileOutcome::Error);
        EXPECT_FALSE(QFileInfo::exists(c.output));
        if (c.progressed >= 0) {
            EXPECT_EQ(control.reports > 0, c.progressed == 1);
        }
        const QStringList log = logLines(this->log());
        ASSERT_EQ(log.size(), ++lines);
        const QRegularExpression shape("^\\d\\d:\\d\\d:\\d\\d \\S+ .* \\d+ occured when TRN5 tried "
                                       "to play/convert: " +
                                       QRegularExpression::escape(c.source) + "$");
        EXPECT_TRUE(log.last().contains(c.why) && shape.match(log.last()).hasMatch())
            << log.last().toStdString();
    }
    // A file with content at the output path is never written over, nor removed; and with a
    // folder in the log's way (not even root appends to that) the line goes to the data location.
    ASSERT_TRUE(WriteBytes(at("keep.ogg"), "precious") && QFile::remove(log()));
    QDir().mkpath(log());
    QFile::remove(FallbackErrorLogPath());
    CountingControl control;
    EXPECT_EQ(ConvertToMP3_OGG(src, at("keep.ogg"), optionsWith("optFileFormat=3"), control),
              FileOutcome::Error);
    EXPECT_EQ(ReadBytes(at("keep.ogg")), QByteArray("precious"));
    const QStringList fallback = logLines(FallbackErrorLogPath());
    QFile::remove(FallbackErrorLogPath());
    ASSERT_EQ(fallback.size(), 1);
    EXPECT_TRUE(fallback[0].endsWith(
        " already exists) 33 occured when TRN5 tried to play/convert: " + src));
    EXPECT_EQ(LiveStreamCount(), 0);
}
