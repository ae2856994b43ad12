// FLAC, Opus and M4A written in-process from a few kinds of source, each output checked with
// readers of its own: ffprobe for codec, rate, channels and tags, `flac -t` and the decoded
// MD5 for FLAC, opusinfo and the decoded length for Opus, the decoded length for AAC.
#include "convert/BatchDriver.h"
#include "convert/Converters.h"
#include "convert/SettingsOptions.h"
#include "engine/Decoders.h"

#include "ConversionControls.h"
#include "MediaTools.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kv;
using namespace kvtest;

namespace {

QString probe(const QString& path, const QString& entries) {
    return QString::fromUtf8(RunTool("ffprobe", {"-v", "error", "-select_streams", "a:0",
                                                 "-show_entries", entries, "-of",
                                                 "default=nw=1:nk=1", path})
                                 .out)
        .trimmed();
}

// The first audio stream's decoded MD5 as 32-bit samples, so 24-bit audio counts whole.
QByteArray decodedMd5(const QString& path) {
    return RunTool("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a:0", "-c:a", "pcm_s32le",
                              "-f", "md5", "-"})
        .out.trimmed();
}

// Sample frames ffmpeg decodes (the container's edit list and pre-skip applied).
qint64 decodedFrames(const QString& path, int channels) {
    const std::optional<QByteArray> pcm = FfmpegDecode(path, QStringLiteral("s16le"));
    return pcm ? pcm->size() / (2 * channels) : -1;
}

} // namespace

TEST(EncodedFormats, EverySourceKindInEveryNewFormat) {
    RegisterDecoders();
    QTemporaryDir dir;
    const auto at = [&](const QString& name) { return dir.filePath(name); };
    // A cover for the tagged source.
    ASSERT_TRUE(MakeWithFfmpeg({"-f", "lavfi", "-i", "color=c=red:s=32x24:d=0.1", "-frames:v",
                                "1"},
                               at("cover.png")));
    const struct Source {
        const char* name;
        int rate, channels;
        const char* layout; // as ffprobe names the output's
        QStringList args;
        bool tagged;
    } sources[] = {
        {"mono8k.wav", 8000, 1, "mono", {"-f", "lavfi", "-i", "sine=f=440:d=1.5:r=8000"}, false},
        {"stereo44.flac",
         44100,
         2,
         "stereo",
         {"-f", "lavfi", "-i", "sine=f=330:d=1.5:r=44100", "-i", at("cover.png"), "-map", "0:a",
          "-map", "1:v", "-ac", "2", "-c:v", "png", "-disposition:v", "attached_pic",
          "-metadata", "title=Night Song", "-metadata", "artist=Ana", "-metadata",
          "track=3/12", "-metadata", "disc=1/2", "-metadata", "album=Dawn"},
         true},
        {"hires.wav",
         96000,
         2,
         "stereo",
         {"-f", "lavfi", "-i", "anoisesrc=d=1.5:c=pink:r=96000:a=0.3", "-ac", "2", "-c:a",
          "pcm_s24le"},
         false},
        {"surround.wav",
         48000,
         6,
         "5.1",
         {"-f", "lavfi", "-i",
          "aevalsrc=sin(300*2*PI*t)|sin(400*2*PI*t)|sin(500*2*PI*t)|0.1*sin(50*2*PI*t)|"
          "sin(600*2*PI*t)|sin(700*2*PI*t):d=1:s=48000:c=5.1"},
         false},
    };
    const struct Target {
        int format;
        const char* codec;
    } targets[] = {{kFormatFLAC, "flac"}, {kFormatOpus, "opus"}, {kFormatM4A, "aac"}};

    for (const Source& s : sources)
        ASSERT_TRUE(MakeWithFfmpeg(s.args, at(s.name))) << s.name;
    for (const Target& t : targets) {
        const QString out = at(OutputExtension(t.format));
        ASSERT_TRUE(QDir().mkpath(out));
        BatchDriver driver;
        driver.setConverter(t.format, ConverterFor(t.format));
        ConversionOptions options = ConversionOptionsFrom(OutputSettings{});
        options.outputFormat = t.format;
        options.folder = {false, out};
        driver.setOptions(options);
        QStringList paths;
        for (const Source& s : sources)
            paths << at(s.name);
        const std::vector<Ended> ended = RunBatch(driver, paths);
        ASSERT_EQ(ended.size(), std::size(sources));
        // Nothing but the outputs is left in the folder.
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), std::size(sources));

        for (size_t i = 0; i < std::size(sources); ++i) {
            const Source& s = sources[i];
            const QString made = ended[i].output;
            SCOPED_TRACE(made.toStdString());
            ASSERT_EQ(ended[i].outcome, FileOutcome::Complete) << ended[i].error.toStdString();
            const int rate = t.format == kFormatOpus ? 48000
                             : t.format == kFormatM4A ? std::min(s.rate, 48000)
                                                      : s.rate;
            EXPECT_EQ(probe(made, "stream=codec_name,sample_rate,channels,channel_layout"),
                      QStringLiteral("%1\n%2\n%3\n%4")
                          .arg(t.codec)
                          .arg(rate)
                          .arg(s.channels)
                          .arg(s.layout));
            if (s.tagged) {
                const QString tags = t.format == kFormatM4A
                                         ? probe(made, "format_tags=title,artist,track,disc")
                                         : probe(made, "stream_tags=title,artist,track,disc") +
                                               probe(made, "format_tags=title,artist,track,disc");
                for (const char* want : {"Night Song", "Ana", "3/12", "1/2"})
                    EXPECT_TRUE(tags.contains(QString::fromUtf8(want))) << want << " in " << tags.toStdString();
                // The cover comes along as an attached picture.
                EXPECT_EQ(QString::fromUtf8(RunTool("ffprobe", {"-v", "error", "-select_streams",
                                                                  "v:0", "-show_entries",
                                                                  "stream=codec_name:stream_disposition=attached_pic",
                                                                  "-of", "default=nw=1:nk=1", made})
                                                 .out)
                              .trimmed(),
                          QStringLiteral("png\n1"));
            }
            const qint64 sourceFrames = decodedFrames(at(s.name), s.channels);
            const qint64 expected = sourceFrames * rate / s.rate;
            switch (t.format) {
            case kFormatFLAC: {
                EXPECT_EQ(RunTool("flac", {"-t", "-s", made}).exitCode, 0);
                EXPECT_EQ(decodedMd5(made), decodedMd5(at(s.name)));
                EXPECT_EQ(probe(made, "stream=sample_fmt"),
                          s.rate == 96000 ? QStringLiteral("s32") : QStringLiteral("s16"));
                const QString blocks = QString::fromUtf8(
                    RunTool("metaflac", {"--list", "--block-type=STREAMINFO,SEEKTABLE", made}).out);
                EXPECT_TRUE(blocks.contains("type: 3 (SEEKTABLE)")) << blocks.toStdString();
                EXPECT_FALSE(blocks.contains("MD5 signature: 00000000000000000000000000000000"));
                break;
            }
            case kFormatOpus: {
                const ProcessResult info = RunTool("opusinfo", {made});
                EXPECT_EQ(info.exitCode, 0) << info.out.constData();
                EXPECT_TRUE(info.out.contains("Channels: " + QByteArray::number(s.channels)));
                EXPECT_NEAR(decodedFrames(made, s.channels), expected, 48); // 1 ms
                break;
            }
            case kFormatM4A: {
                EXPECT_NEAR(decodedFrames(made, s.channels), expected, 1024);
                // The index comes before the audio.
                const QByteArray head = ReadBytes(made).left(1 << 16);
                EXPECT_LT(head.indexOf("moov"), head.indexOf("mdat"));
                break;
            }
            }
        }
    }
}

// A stopped file is finished and put in place: it plays as far as it got.
TEST(EncodedFormats, StoppedFileIsWholeAndNamed) {
    RegisterDecoders();
    QTemporaryDir dir;
    const QString source = dir.filePath("long.wav");
    ASSERT_TRUE(MakeSine(source, 20, 44100, 2, {}));
    for (const int format : {kFormatFLAC, kFormatOpus, kFormatM4A}) {
        const QString out = dir.filePath(QStringLiteral("out%1").arg(format));
        QDir().mkpath(out);
        const QString made = out + "/long." + OutputExtension(format);
        CountingControl control(2);
        const FileOutcome outcome =
            ConverterFor(format)(source, made, ConversionOptionsFrom(OutputSettings{}), control);
        EXPECT_EQ(outcome, FileOutcome::Cancelled) << control.error.toStdString();
        const std::optional<ProbeInfo> info = FfprobeAudio(made);
        ASSERT_TRUE(info) << made.toStdString();
        EXPECT_GT(info->duration, 0.5);
        EXPECT_LT(info->duration, 15);
        EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
}
