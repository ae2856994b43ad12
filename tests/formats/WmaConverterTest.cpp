// WMA output as ffprobe reads it back: formats, bitrates, tags, a cancel and the failures; the
// bitrate list and the quality's pick; the support check and its seam.
#include "formats/WmaFormat.h"
#include "formats/WmaFileWriter.h"
#include "formats/WmaSupport.h"
#include "engine/DecodeStream.h"
#include "engine/Decoders.h"
#include "settings/ProgramFolder.h"

#include "ConversionControls.h"
#include "MediaTools.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kv;
using namespace kvtest;

namespace {

// ffprobe's reading, keys in lower case ("codec_name", "tag:title"). It decodes every frame;
// "clean" is "1" when it found nothing wrong on the way.
QMap<QString, QString> probe(const QString& path) {
    return FfprobeFields(path,
                         "stream=codec_name,sample_rate,channels,bit_rate:format=format_name,"
                         "duration:format_tags",
                         {"-count_frames"});
}

WmaOptions quality(int q, bool tags = false, const std::array<QString, 8>& texts = {}) {
    return WmaOptions{q, -1, tags, texts};
}

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

TEST_F(WmaConversion, FilesAsAnIndependentReaderSeesThem) {
    ASSERT_TRUE(MakeSine(at("cd.flac"), 3.0, 44100, 2, {"-c:a", "flac"}));
    ASSERT_TRUE(MakeWithFfmpeg({"-f", "lavfi", "-i", "sine=sample_rate=96000:d=2", "-af",
                                "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0", "-c:a", "flac"},
                               at("hires 5.1 é.flac")));
    ASSERT_TRUE(MakeSine(at("u8.wav"), 1.5, 22050, 1, {"-c:a", "pcm_u8"}));
    ASSERT_TRUE(MakeSine(at("long.flac"), 5.0, 44100, 2, {"-c:a", "flac"}));
    std::array<QString, 8> someEmpty = kDesignTexts;
    someEmpty[0] = "Café 日本";
    someEmpty[2] = QString();
    const struct {
        const char* source;
        WmaOptions options;
        int stopAfter;
        double seconds;
        QString expect; // "key=value|..."; an empty value for what must be absent
        QString places; // every tag in the header, once, where it sits (see AsfTagPlaces)
    } cases[] = {
        {"cd.flac", quality(50, true, kDesignTexts), -1, 3.0,
         "sample_rate=44100|channels=2|bit_rate=128000|tag:title=Title|tag:artist=Artist|"
         "tag:album=Album Title|tag:comment=Description|tag:copyright=Copyright|"
         "tag:genre=Genre|tag:wm/year=Year",
         "content:Title=Title|content:Author=Artist|content:Copyright=Copyright|"
         "content:Description=Description|content:Rating=Rating|"
         "extended:WM/AlbumTitle=Album Title|extended:WM/Genre=Genre|extended:WM/Year=Year"},
        {"hires 5.1 é.flac", quality(100, true, someEmpty), -1, 2.0,
         "sample_rate=48000|channels=2|bit_rate=320000|tag:title=Café 日本|tag:album=",
         "content:Title=Café 日本|content:Author=Artist|content:Copyright=Copyright|"
         "content:Description=Description|content:Rating=Rating|extended:WM/Genre=Genre|"
         "extended:WM/Year=Year"},
        {"u8.wav", quality(0, false, kDesignTexts), -1, 1.5,
         "sample_rate=22050|channels=1|bit_rate=24000|tag:title=|tag:artist=", ""},
        // Cancelled after three blocks of 5,000 frames: a whole, shorter file.
        {"long.flac", quality(75, true, {"Cut"}), 3, 0.4, "bit_rate=192000|tag:title=Cut",
         "content:Title=Cut"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const QString out = at(QString::fromUtf8(c.source) + ".wma");
        CountingControl control(c.stopAfter);
        ASSERT_EQ(ConvertToWMA(at(QString::fromUtf8(c.source)), out, c.options, control),
                  c.stopAfter < 0 ? FileOutcome::Complete : FileOutcome::Cancelled);
        EXPECT_TRUE(c.stopAfter >= 0 || std::abs(control.last - 100.0) < 0.01);
        const QMap<QString, QString> p = probe(out);
        EXPECT_EQ(p["clean"] + p["format_name"] + p["codec_name"], "1asfwmav2");
        EXPECT_NEAR(p["duration"].toDouble(), c.seconds, 0.1);
        for (const QString& kv : c.expect.split('|'))
            EXPECT_EQ(p.value(kv.section('=', 0, 0)), kv.section('=', 1)) << kv.toStdString();
        // The muxer's own note of itself is no tag of ours.
        const QStringList places =
            AsfTagPlaces(out).filter(QRegularExpression("^(?!extended:WM/EncodingSettings=)"));
        EXPECT_EQ(places.join('|'), c.places);
    }
    EXPECT_EQ(LiveStreamCount(), 0);
}

TEST_F(WmaConversion, EveryOfferedBitrateEncodesNoise) {
    // A source per row of the table and one between rows; noise leaves the fewest bits spare.
    for (const auto& [rate, channels] : {std::pair{48000, 2},
                                         {44100, 1},
                                         {32000, 2},
                                         {24000, 1},
                                         {16000, 2},
                                         {11025, 1},
                                         {8000, 2}}) {
        SCOPED_TRACE(QStringLiteral("%1 Hz, %2 ch").arg(rate).arg(channels).toStdString());
        const QString src = at(QStringLiteral("noise-%1-%2.wav").arg(rate).arg(channels));
        ASSERT_TRUE(MakeWithFfmpeg({"-f", "lavfi", "-i",
                                    QStringLiteral("anoisesrc=r=%1:a=1:d=0.6").arg(rate), "-ac",
                                    QString::number(channels), "-c:a", "pcm_s16le"},
                                   src));
        const std::optional<std::vector<int>> offered = WmaBitratesOnOffer(rate, channels);
        ASSERT_TRUE(offered && offered->size() >= 2);
        EXPECT_TRUE(std::is_sorted(offered->rbegin(), offered->rend()));
        const int count = static_cast<int>(offered->size());
        for (int i = 0; i < count; ++i) {
            const QString out = at(QStringLiteral("n-%1-%2-%3.wma").arg(rate).arg(channels).arg(i));
            CountingControl control;
            WmaBitrateChoice choice;
            // The quality that picks entry i.
            ASSERT_EQ(ConvertToWMA(src, out, quality(qRound((count - i) * 100.0 / count)), control,
                                   &choice),
                      FileOutcome::Complete);
            ASSERT_EQ(choice.selected, i);
            const QMap<QString, QString> p = probe(out);
            EXPECT_EQ(p["clean"] + p["sample_rate"], QStringLiteral("1%1").arg(rate));
            EXPECT_EQ(p["bit_rate"].toInt(), (*offered)[i]);
        }
    }
}

TEST(WmaBitrates, GetWMABitRateFromQualityAndItsList) {
    const struct {
        int count, quality, entry;
    } picks[] = {{10, 50, 5}, {8, 100, 0}, {8, 0, 7},   {1, 0, 0},   {10, 5, 9},
                 {10, 15, 8}, {10, 25, 8}, {10, 35, 6}, {0, 50, -1}, {8, 150, 0}};
    for (const auto& p : picks)
        EXPECT_EQ(WmaEntryForQuality(p.count, p.quality), p.entry) << p.count << " " << p.quality;
    for (const auto& [language, bps, text] : {std::tuple{QLocale::English, 127500, "128 Kbps"},
                                              {QLocale::English, 1411200, "1,411 Kbps"},
                                              {QLocale::German, 1411200, "1.411 Kbps"}}) {
        QLocale::setDefault(QLocale(language));
        EXPECT_EQ(WmaBitrateText(bps), QString(text));
    }
    QLocale::setDefault(QLocale::c());

    const WmaBitrateChoice top = GetWMABitRateFromQuality(44100, 2, 100);
    EXPECT_EQ(top.entries, QStringList({"320 Kbps", "256 Kbps", "192 Kbps", "160 Kbps", "128 Kbps",
                                        "96 Kbps", "64 Kbps", "48 Kbps"}));
    EXPECT_EQ(top.itemData.value(7), 48000);
    EXPECT_EQ(std::pair(top.selected, top.bitrate), std::pair(0, 320000));
    const WmaBitrateChoice bottom = GetWMABitRateFromQuality(44100, 2, 0);
    EXPECT_EQ(std::pair(bottom.selected, bottom.bitrate), std::pair(7, 48000));
    // No format the encoder takes, or no encoder: no list at all.
    for (const auto& [rate, channels] : {std::pair{0, 2}, {96000, 2}, {44100, 6}})
        EXPECT_EQ(GetWMABitRateFromQuality(rate, channels, 50).entries.size(), 0);

    // The support check leaves its file; no folder to write to says nothing about the encoder,
    // a missing encoder does.
    ProgramFolderFixture folder;
    EXPECT_TRUE(CheckWMASupport());
    const QMap<QString, QString> p = probe(QDir(folder.path()).filePath(kWmaCheckFile));
    EXPECT_EQ(p["clean"] + p["format_name"] + p["codec_name"], "1asfwmav2");
    const QByteArray home = qgetenv("HOME");
    SetProgramFolder("/proc");
    qputenv("HOME", "/proc/kelvanto-no-home");
    EXPECT_TRUE(CheckWMASupport());
    SetWmaEncoderName("kelvanto-no-such-encoder");
    EXPECT_FALSE(CheckWMASupport());
    qputenv("HOME", home);
    const WmaBitrateChoice none = GetWMABitRateFromQuality(44100, 2, 50);
    EXPECT_EQ(std::pair(none.bitrate, none.selected), std::pair(-1, -1));
    SetWmaEncoderName("wmav2");
}

TEST_F(WmaConversion, FailuresEndInErrorAndLeaveNothingBehind) {
    const QString src = at("ok.flac");
    ASSERT_TRUE(MakeSine(src, 6.0, 44100, 2, {"-c:a", "flac"}));
    ASSERT_TRUE(WriteBytes(at("noise.wma"), QByteArray(5000, '\x5a')));
    ASSERT_TRUE(WriteBytes(at("keep.wma"), "precious"));
    const char* none = "kelvanto-no-such-encoder";
    const struct {
        QString source, output;
        bool claimed;        // an empty file holds the name before the converter runs
        const char* encoder; // the encoder WMA output uses
        unsigned long long sizeLimit;
        FileOutcome outcome;
        bool outputStays, readsAudio;
        QString why; // the reason given, in part
    } cases[] = {
        {src, at("claimed.wma"), true, "wmav2", 0, FileOutcome::Complete, true, true, ""},
        {at("noise.wma"), at("a.wma"), true, "wmav2", 0, FileOutcome::Error, false, false,
         at("noise.wma") + ": "},
        {src, at("b.wma"), true, none, 0, FileOutcome::Error, false, false,
         "the WMA encoder (kelvanto-no-such-encoder) is not in this system's FFmpeg"},
        // A full disk half-way.
        {src, at("full.wma"), false, "wmav2", 40000, FileOutcome::Error, false, true,
         at("full.wma") + ": File too large"},
        // Another file is never overwritten.
        {src, at("keep.wma"), false, "wmav2", 0, FileOutcome::Error, true, false,
         at("keep.wma") + " already exists"},
        {src, "/proc/kelvanto-test.wma", false, "wmav2", 0, FileOutcome::Error, false, false,
         "/proc/kelvanto-test.wma: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output.toStdString());
        if (c.claimed) {
            ASSERT_TRUE(WriteBytes(c.output, QByteArray()));
        }
        SetWmaEncoderName(c.encoder);
        CountingControl control;
        auto limit = c.sizeLimit ? std::make_unique<FileSizeLimit>(c.sizeLimit) : nullptr;
        EXPECT_EQ(ConvertToWMA(c.source, c.output, quality(50), control), c.outcome);
        limit.reset();
        SetWmaEncoderName("wmav2");
        EXPECT_EQ(QFileInfo::exists(c.output), c.outputStays);
        EXPECT_EQ(control.reports > 0, c.readsAudio);
        EXPECT_TRUE(c.why.isEmpty() ? control.error.isEmpty() : control.error.startsWith(c.why))
            << control.error.toStdString();
        EXPECT_EQ(LiveStreamCount(), 0);
    }
    EXPECT_EQ(ReadBytes(at("keep.wma")), QByteArray("precious"));
    EXPECT_EQ(probe(at("claimed.wma"))["codec_name"], "wmav2");
}
