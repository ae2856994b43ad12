// WMA output read back by ffprobe and decoded by ffmpeg: formats, bitrates, tags, cancel and
// every failure; the bitrate list and the quality's pick.
#include "convert/WmaConverter.h"
#include "convert/WmaFileWriter.h"
#include "convert/WmaSupport.h"
#include "engine/DecodeStream.h"
#include "engine/Decoders.h"

#include "settings/ProgramFolder.h"

#include "MediaTools.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kv;
using namespace kvtest;

namespace {

class TestControl final : public ConversionControl {
public:
    explicit TestControl(int stopAfter = -1) : stopAfter_(stopAfter) {}
    bool stopRequested() const override { return stopAfter_ >= 0 && reports >= stopAfter_; }
    void progress(double percent) override {
        ++reports;
        last = percent;
    }
    int reports = 0;
    double last = -1;

private:
    int stopAfter_;
};

// What ffprobe reads of a file, tags by their lower-case names; it decodes every frame, and
// `clean` says it found nothing wrong on the way.
struct Probe {
    QString format, codec;
    int rate = 0, channels = 0;
    qint64 bitrate = 0;
    double duration = -1;
    QMap<QString, QString> tags;
    bool clean = false;
};
Probe probe(const QString& path) {
    const ProcessResult r =
        RunTool("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                            "stream=codec_name,sample_rate,channels,bit_rate,nb_read_frames:"
                            "format=format_name,duration:format_tags",
                            "-of", "json", path});
    Probe p;
    const QJsonObject root = QJsonDocument::fromJson(r.out).object();
    const QJsonObject format = root["format"].toObject();
    p.format = format["format_name"].toString();
    p.duration = format["duration"].toString("-1").toDouble();
    const QJsonObject tags = format["tags"].toObject();
    for (auto it = tags.begin(); it != tags.end(); ++it)
        p.tags.insert(it.key().toLower(), it.value().toString());
    const QJsonArray streams = root["streams"].toArray();
    if (!streams.isEmpty()) {
        const QJsonObject s = streams[0].toObject();
        p.codec = s["codec_name"].toString();
        p.rate = s["sample_rate"].toString().toInt();
        p.channels = s["channels"].toInt();
        p.bitrate = s["bit_rate"].toString().toLongLong();
    }
    p.clean = r.exitCode == 0 && r.err.trimmed().isEmpty() && !p.codec.isEmpty();
    return p;
}

const WmaOptions kQuality50{50, -1, false, {}};

const std::array<QString, 8> kDesignTexts = {"Title",  "Artist",    "Album Title", "Description",
                                             "Rating", "Copyright", "Genre",       "Year"};

class WmaConversion : public ::testing::Test {
protected:
    void SetUp() override { RegisterDecoders(); }
    void TearDown() override { SetWmaEncoderName("wmav2"); }
    QString at(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(WmaConversion, OutputsReadBackByAnIndependentReader) {
    ASSERT_TRUE(MakeSine(at("cd.flac"), 3.0, 44100, 2, {"-c:a", "flac"}));
    ASSERT_TRUE(
        MakeWithFfmpeg({"-f", "lavfi", "-i", "sine=frequency=500:sample_rate=96000:duration=2",
                        "-af", "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0", "-c:a", "flac"},
                       at("hires 5.1 é.flac")));
    ASSERT_TRUE(MakeSine(at("u8.wav"), 1.5, 22050, 1, {"-c:a", "pcm_u8"}));
    ASSERT_TRUE(MakeVideo(at("clip.avi"), 2.0, {"-c:v", "mpeg4", "-c:a", "pcm_s16le"}));
    std::array<QString, 8> someEmpty = kDesignTexts;
    someEmpty[0] = QString::fromUtf8("Caf\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac");
    someEmpty[2] = someEmpty[5] = someEmpty[7] = QString();

    const struct {
        const char* source;
        int quality;
        bool tags;
        std::array<QString, 8> texts;
        int rate, channels, bitrate, selected, entries;
        double seconds;
        QMap<QString, QString> expectTags; // "" for a tag that must be absent
    } cases[] = {
        {"cd.flac",
         50,
         true,
         kDesignTexts,
         44100,
         2,
         128000,
         4,
         8,
         3.0,
         {{"title", "Title"},
          {"artist", "Artist"},
          {"album", "Album Title"},
          {"comment", "Description"},
          {"rating", "Rating"},
          {"copyright", "Copyright"},
          {"genre", "Genre"},
          {"wm/year", "Year"}}},
        {"hires 5.1 é.flac",
         100,
         true,
         someEmpty,
         48000,
         2,
         320000,
         0,
         8,
         2.0,
         {{"title", someEmpty[0]},
          {"artist", "Artist"},
          {"album", ""},
          {"copyright", ""},
          {"wm/year", ""},
          {"genre", "Genre"}}},
        {"u8.wav",
         0,
         false,
         kDesignTexts,
         22050,
         1,
         24000,
         3,
         4,
         1.5,
         {{"title", ""}, {"artist", ""}, {"genre", ""}}},
        {"clip.avi", 75, false, {}, 44100, 2, 192000, 2, 8, 2.0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const QString out = at(QString::fromUtf8(c.source) + ".wma");
        WmaOptions options;
        options.quality = c.quality;
        options.tags = c.tags;
        options.tagTexts = c.texts;
        TestControl control;
        WmaBitrateChoice choice;
        ASSERT_EQ(ConvertToWMA(at(QString::fromUtf8(c.source)), out, options, control, &choice),
                  FileOutcome::Complete);
        EXPECT_EQ(choice.bitrate, c.bitrate);
        EXPECT_EQ(choice.selected, c.selected);
        EXPECT_EQ(choice.entries.size(), c.entries);
        EXPECT_EQ(choice.entries.value(c.selected),
                  QStringLiteral("%1 Kbps").arg(c.bitrate / 1000));
        EXPECT_NEAR(control.last, 100.0, 0.01);

        const Probe p = probe(out);
        EXPECT_EQ(p.format, "asf");
        EXPECT_EQ(p.codec, "wmav2");
        EXPECT_EQ(p.rate, c.rate);
        EXPECT_EQ(p.channels, c.channels);
        EXPECT_EQ(p.bitrate, c.bitrate);
        EXPECT_NEAR(p.duration, c.seconds, 0.1);
        for (auto it = c.expectTags.begin(); it != c.expectTags.end(); ++it)
            EXPECT_EQ(p.tags.value(it.key()), it.value()) << it.key().toStdString();
        EXPECT_TRUE(p.clean);
    }
    EXPECT_EQ(LiveStreamCount(), 0);
}

TEST_F(WmaConversion, EveryOfferedBitrateEncodesNoise) {
    // One source per row of the table, plus a rate between rows; noise leaves the fewest bits
    // to spare.
    const std::pair<int, int> formats[] = {{48000, 2}, {44100, 1}, {32000, 2}, {24000, 1},
                                           {16000, 2}, {11025, 1}, {8000, 2}};
    for (const auto& [rate, channels] : formats) {
        SCOPED_TRACE(QStringLiteral("%1 Hz, %2 ch").arg(rate).arg(channels).toStdString());
        const QString src = at(QStringLiteral("noise-%1-%2.wav").arg(rate).arg(channels));
        ASSERT_TRUE(MakeWithFfmpeg({"-f", "lavfi", "-i",
                                    QStringLiteral("anoisesrc=r=%1:a=1:d=0.6").arg(rate), "-ac",
                                    QString::number(channels), "-c:a", "pcm_s16le"},
                                   src));
        const std::optional<std::vector<int>> offered = WmaBitratesOnOffer(rate, channels);
        ASSERT_TRUE(offered);
        ASSERT_GE(offered->size(), 2u);
        const int count = static_cast<int>(offered->size());
        for (int i = 0; i < count; ++i) {
            // The quality that picks entry i.
            WmaOptions options;
            options.quality = qRound((count - i) * 100.0 / count);
            const QString out = at(QStringLiteral("n-%1-%2-%3.wma").arg(rate).arg(channels).arg(i));
            TestControl control;
            WmaBitrateChoice choice;
            ASSERT_EQ(ConvertToWMA(src, out, options, control, &choice), FileOutcome::Complete);
            ASSERT_EQ(choice.selected, i);
            const Probe p = probe(out);
            EXPECT_EQ(p.bitrate, (*offered)[i]);
            EXPECT_EQ(p.rate, rate);
            EXPECT_TRUE(p.clean) << (*offered)[i];
        }
        // Highest first.
        EXPECT_TRUE(std::is_sorted(offered->rbegin(), offered->rend()));
    }
}

TEST(WmaBitrates, TheQualityPicksAnEntry) {
    const struct {
        int count, quality, entry;
    } picks[] = {
        {10, 50, 5}, {8, 100, 0}, {8, 0, 7},   {1, 0, 0},   {1, 100, 0}, {10, 4, 9},  {10, 5, 9},
        {10, 15, 8}, {10, 25, 8}, {10, 35, 6}, {0, 50, -1}, {8, 150, 0}, {8, -10, 7},
    };
    for (const auto& p : picks)
        EXPECT_EQ(WmaEntryForQuality(p.count, p.quality), p.entry)
            << p.count << " entries, quality " << p.quality;

    const struct {
        QLocale::Language language;
        int bitsPerSecond;
        const char* text;
    } texts[] = {
        {QLocale::English, 128000, "128 Kbps"},   {QLocale::English, 127500, "128 Kbps"},
        {QLocale::English, 126500, "126 Kbps"},   {QLocale::English, 1411200, "1,411 Kbps"},
        {QLocale::German, 1411200, "1.411 Kbps"}, {QLocale::Arabic, 96000, "96 Kbps"},
        {QLocale::English, 24000, "24 Kbps"},
    };
    const QLocale before;
    for (const auto& t : texts) {
        QLocale::setDefault(QLocale(t.language));
        EXPECT_EQ(WmaBitrateText(t.bitsPerSecond), QString::fromUtf8(t.text)) << t.bitsPerSecond;
    }
    QLocale::setDefault(before);
}

TEST(WmaBitrates, GetWMABitRateFromQualityFillsTheList) {
    const WmaBitrateChoice top = GetWMABitRateFromQuality(44100, 2, 100);
    EXPECT_EQ(top.entries, QStringList({"320 Kbps", "256 Kbps", "192 Kbps", "160 Kbps", "128 Kbps",
                                        "96 Kbps", "64 Kbps", "48 Kbps"}));
    EXPECT_EQ(top.itemData,
              QList<int>({320000, 256000, 192000, 160000, 128000, 96000, 64000, 48000}));
    EXPECT_EQ(top.selected, 0);
    EXPECT_EQ(top.bitrate, 320000);
    const WmaBitrateChoice bottom = GetWMABitRateFromQuality(44100, 2, 0);
    EXPECT_EQ(bottom.selected, 7);
    EXPECT_EQ(bottom.bitrate, 48000);
    // No format the encoder takes: no list.
    for (const auto& [rate, channels] : {std::pair{0, 2}, {96000, 2}, {44100, 6}, {44100, 0}}) {
        const WmaBitrateChoice none = GetWMABitRateFromQuality(rate, channels, 50);
        EXPECT_EQ(none.bitrate, -1);
        EXPECT_TRUE(none.entries.isEmpty());
        EXPECT_EQ(none.selected, -1);
    }
    // Without the encoder there is no list either, and no support.
    EXPECT_TRUE(CheckWMASupport());
    SetWmaEncoderName("kelvanto-no-such-encoder");
    EXPECT_EQ(GetWMABitRateFromQuality(44100, 2, 50).bitrate, -1);
    EXPECT_FALSE(CheckWMASupport());
    SetWmaEncoderName("wmav2");
    EXPECT_EQ(GetWMABitRateFromQuality(44100, 2, 50).bitrate, 128000);
}

TEST_F(WmaConversion, CancelledFileIsAWholeShorterFile) {
    const QString src = at("long.flac");
    ASSERT_TRUE(MakeSine(src, 5.0, 44100, 2, {"-c:a", "flac"}));
    TestControl control(3);
    EXPECT_EQ(ConvertToWMA(src, at("out.wma"), kQuality50, control), FileOutcome::Cancelled);
    const Probe p = probe(at("out.wma"));
    EXPECT_EQ(p.codec, "wmav2");
    // Three blocks of 5,000 stereo frames, and the encoder's last frame.
    EXPECT_GT(p.duration, 0.3);
    EXPECT_LT(p.duration, 0.5);
    EXPECT_TRUE(p.clean);
}

TEST_F(WmaConversion, FailuresEndInErrorAndLeaveNothingBehind) {
    const QString src = at("ok.flac");
    ASSERT_TRUE(MakeSine(src, 1.0, 44100, 2, {"-c:a", "flac"}));
    ASSERT_TRUE(WriteBytes(at("noise.wma"), QByteArray(5000, '\x5a')));
    ASSERT_TRUE(WriteBytes(at("keep.wma"), "precious"));
    const struct {
        const char* name;
        QString source, output;
        bool claimed;        // an empty file holds the name before the converter runs
        const char* encoder; // the encoder WMA output uses
        FileOutcome outcome;
        bool outputStays;
    } cases[] = {
        {"a claimed name is taken over", src, at("claimed.wma"), true, "wmav2",
         FileOutcome::Complete, true},
        {"undecodable source", at("noise.wma"), at("a.wma"), true, "wmav2", FileOutcome::Error,
         false},
        {"no encoder: fails before reading", src, at("b.wma"), true, "kelvanto-no-such-encoder",
         FileOutcome::Error, false},
        {"another file is never overwritten", src, at("keep.wma"), false, "wmav2",
         FileOutcome::Error, true},
        {"missing folder", src, at("gone/c.wma"), false, "wmav2", FileOutcome::Error, false},
        {"a folder nobody may write to", src, "/proc/kelvanto-test.wma", false, "wmav2",
         FileOutcome::Error, false},
        {"no output name", src, QString(), false, "wmav2", FileOutcome::Error, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.claimed) {
            ASSERT_TRUE(WriteBytes(c.output, QByteArray()));
        }
        SetWmaEncoderName(c.encoder);
        TestControl control;
        EXPECT_EQ(ConvertToWMA(c.source, c.output, kQuality50, control), c.outcome);
        SetWmaEncoderName("wmav2");
        EXPECT_EQ(QFileInfo::exists(c.output), c.outputStays);
        if (c.outcome == FileOutcome::Error) {
            EXPECT_EQ(control.reports, 0);
        }
        EXPECT_EQ(LiveStreamCount(), 0);
    }
    EXPECT_EQ(ReadBytes(at("keep.wma")), QByteArray("precious"));
    EXPECT_EQ(probe(at("claimed.wma")).codec, "wmav2");
}

TEST_F(WmaConversion, AWriteFailureHalfWayIsAnErrorNotAComplete) {
    const QString src = at("big.flac");
    ASSERT_TRUE(MakeSine(src, 6.0, 44100, 2, {"-c:a", "flac"}));
    // A file-size limit makes the writes fail part-way, as a full disk would.
    auto limit = std::make_unique<FileSizeLimit>(40000);
    ASSERT_TRUE(limit->active());
    TestControl control;
    const FileOutcome outcome = ConvertToWMA(src, at("full.wma"), kQuality50, control);
    limit.reset();
    EXPECT_EQ(outcome, FileOutcome::Error);
    EXPECT_FALSE(QFileInfo::exists(at("full.wma")));
    EXPECT_GT(control.reports, 0);
}

TEST_F(WmaConversion, TheSupportCheckLeavesAnEmptyWmaFile) {
    ProgramFolderFixture folder;
    const QString file = QDir(folder.path()).filePath(kWmaCheckFile);
    EXPECT_TRUE(CheckWMASupport());
    const Probe p = probe(file);
    EXPECT_EQ(p.format, "asf");
    EXPECT_EQ(p.codec, "wmav2");
    EXPECT_TRUE(p.clean);

    // No folder to write to says nothing about the encoder.
    const QByteArray home = qgetenv("HOME");
    SetProgramFolder("/proc");
    qputenv("HOME", "/proc/kelvanto-no-home");
    EXPECT_TRUE(CheckWMASupport());
    SetWmaEncoderName("kelvanto-no-such-encoder");
    EXPECT_FALSE(CheckWMASupport());
    qputenv("HOME", home);
}
