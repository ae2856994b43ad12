// The source's tags in the outputs of kelvanto-batch --convert (real lame, oggenc and FFmpeg),
// read back with ffprobe field by field; the WMA boxes; a hostile source; tags turned off.
#include "MediaTools.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kvtest;

namespace {

const QStringList kFields = {"title", "artist", "album", "album_artist", "track",
                             "disc",  "date",   "genre", "comment"};

class TagCopy : public ::testing::Test {
protected:
    void SetUp() override {
        cover = dir.filePath("cover.png");
        ASSERT_TRUE(MakeWithFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48", "-frames:v", "1"},
                                   cover));
    }
    QString convert(const QString& source, const QString& format, QStringList extra = {}) {
        const QString out = dir.filePath("out-" + format + QString::number(++runs));
        const ProgramRun r =
            home.run(BatchTool(), QStringList{"--convert", "--format", format, "--out", out} +
                                      extra + QStringList{source});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return out + "/" + QFileInfo(source).completeBaseName() + "." + format;
    }
    // A tagged source with the cover, made by ffmpeg.
    QString tagged(const QString& name, const QStringList& codec) {
        const QString path = dir.filePath(name);
        QStringList args{"-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-i", cover,
                         "-map", "0:a", "-map", "1:v", "-c:v", "copy", "-disposition:v",
                         "attached_pic", "-metadata:s:v", "comment=Cover (front)"};
        const QStringList values = {"Sea \u2013 Gr\u00fc\u00dfe", "\u00d8rjan", "Tides",
                                    "Various",                    "3/12",       "1/2",
                                    "2019",                       "Ambient",    "Live at home"};
        for (int i = 0; i < kFields.size(); ++i)
            args << "-metadata" << kFields[i] + "=" + values[i];
        EXPECT_TRUE(MakeWithFfmpeg(args + codec, path));
        return path;
    }
    PrivateHome home;
    QTemporaryDir dir;
    QString cover;
    int runs = 0;
};

// ffprobe's tags of the file and of its audio stream, under FFmpeg's own field names.
QMap<QString, QString> tagsOf(const QString& path) {
    static const QMap<QString, QString> alias = {{"albumartist", "album_artist"},
                                                 {"tracknumber", "track"},
                                                 {"discnumber", "disc"},
                                                 {"description", "comment"},
                                                 {"wm/year", "date"}};
    QMap<QString, QString> tags;
    for (const QString& line :
         FfprobeLines(path, "format_tags:stream_tags", {"-select_streams", "a:0"})) {
        const QString key = line.section('=', 0, 0).mid(4).toLower(); // after "TAG:"
        if (kFields.contains(alias.value(key, key)))
            tags.insert(alias.value(key, key), line.section('=', 1));
    }
    return tags;
}

// The attached picture as ffprobe describes it ("png 64x48") and its bytes.
std::pair<QString, QByteArray> coverOf(const QString& path) {
    const auto r = RunTool("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                                       "stream=codec_name,width,height:stream_disposition="
                                       "attached_pic",
                                       "-of", "csv=p=0", path});
    const QStringList f = QString::fromUtf8(r.out).trimmed().split(',');
    if (f.size() != 4 || f[3] != "1")
        return {QString(), QByteArray()};
    const auto bytes = RunTool("ffmpeg", {"-v", "error", "-i", path, "-map", "0:v:0", "-c", "copy",
                                          "-f", "image2pipe", "-"});
    return {QStringLiteral("%1 %2x%3").arg(f[0], f[1], f[2]), bytes.out};
}

QStringList logLinesAbout(const QString& source) {
    const QString log = QString::fromUtf8(ReadBytes(QStringLiteral(KV_PROGRAM_DIR " Errors.log")));
    return log.split("\r\n", Qt::SkipEmptyParts).filter(source);
}

} // namespace

TEST_F(TagCopy, EveryFormatCarriesTheSourcesFieldsAndCover) {
    const QString flac = tagged("src.flac", {"-c:a", "flac"});
    const QString mp3 = tagged("src.mp3", {"-c:a", "libmp3lame", "-id3v2_version", "3"});
    ASSERT_EQ(tagsOf(flac).size(), kFields.size());
    ASSERT_EQ(tagsOf(mp3).size(), kFields.size());
    const QByteArray png = ReadBytes(cover);
    QString oggOut; // FLAC->Ogg's output is the Ogg->MP3 source
    const QStringList wavFields = {"title", "artist", "album", "track", "date", "genre", "comment"};
    const struct {
        const char* name;
        const QString* source;
        const char* format;
        QStringList fields;
        bool cover;
    } cases[] = {
        {"FLAC->MP3", &flac, "mp3", kFields, true}, {"FLAC->Ogg", &flac, "ogg", kFields, true},
        {"MP3->Ogg", &mp3, "ogg", kFields, true},   {"Ogg->MP3", &oggOut, "mp3", kFields, true},
        {"FLAC->WMA", &flac, "wma", kFields, true}, {"FLAC->WAV", &flac, "wav", wavFields, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = convert(*c.source, c.format);
        if (oggOut.isEmpty() && QLatin1String(c.format) == "ogg")
            oggOut = out;
        const QMap<QString, QString> want = tagsOf(*c.source), got = tagsOf(out);
        for (const QString& field : c.fields)
            EXPECT_EQ(got.value(field), want.value(field)) << field.toStdString();
        EXPECT_EQ(got.size(), c.fields.size());
        const auto [shape, bytes] = coverOf(out);
        EXPECT_EQ(shape, c.cover ? QStringLiteral("png 64x48") : QString());
        EXPECT_TRUE(bytes == (c.cover ? png : QByteArray()));
    }
}

TEST_F(TagCopy, FilledWmaBoxesWinFieldByField) {
    const QString flac = tagged("boxes.flac", {"-c:a", "flac"});
    const QString out = convert(flac, "wma",
                                {"--wma-tag", "Title=From the box", "--wma-tag", "WM/Genre=",
                                 "--wma-tag", "Copyright=Mine"});
    QMap<QString, QString> want = tagsOf(flac);
    want["title"] = "From the box";
    EXPECT_EQ(tagsOf(out), want);
    EXPECT_EQ(FfprobeLines(out, "format_tags=copyright"), QStringList{"TAG:copyright=Mine"});
    // Each tag once, the main ones in the main description.
    const QStringList places = AsfTagPlaces(out);
    QStringList names;
    for (const QString& place : places)
        names << place.section('=', 0, 0).section(':', 1).toLower();
    EXPECT_EQ(names.removeDuplicates(), 0) << places.join(" | ").toStdString();
    for (const char* main : {"Title=From the box", "Author=\u00d8rjan", "Copyright=Mine",
                             "Description=Live at home"})
        EXPECT_TRUE(places.contains(QStringLiteral("content:") + QString::fromUtf8(main)))
            << main << " in " << places.join(" | ").toStdString();
}

TEST_F(TagCopy, TagsOffWritesNoneAndTaggingNeverChangesTheAudio) {
    const QString flac = tagged("plain.flac", {"-c:a", "flac"});
    for (const char* format : {"mp3", "wav"}) {
        for (const QStringList& off : {QStringList{"--no-tags"},
                                       QStringList{"--set", "chkCopyTags=False"}}) {
            SCOPED_TRACE(std::string(format) + " " + off.join(' ').toStdString());
            const QString bare = convert(flac, format, off);
            const QString withTags = convert(flac, format);
            EXPECT_TRUE(tagsOf(bare).isEmpty());
            EXPECT_TRUE(coverOf(bare).first.isEmpty());
            EXPECT_EQ(tagsOf(withTags).value("title"), tagsOf(flac).value("title"));
            const auto a = FfmpegDecode(bare, "s16le"), b = FfmpegDecode(withTags, "s16le");
            ASSERT_TRUE(a && b && !a->isEmpty());
            EXPECT_TRUE(*a == *b);
        }
    }
}

namespace {
QByteArray synchsafe(quint32 n) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((n >> (21 - 7 * i)) & 0x7f);
    return b;
}
QByteArray frame(const char* id, const QByteArray& body) {
    return QByteArray(id) + synchsafe(body.size()) + QByteArray(2, '\0') + body;
}
} // namespace

TEST_F(TagCopy, AHostileSourceStillConvertsCompleteWithOneLogLine) {
    // An ID3v2.4 tag with a title that is not UTF-8, 3000 user fields and a 20 MB picture, in
    // front of a plain MP3 stream.
    const QString raw = dir.filePath("raw.mp3");
    ASSERT_TRUE(MakeSine(raw, 2.0, 44100, 2,
                         {"-c:a", "libmp3lame", "-id3v2_version", "0", "-write_xing", "0"}));
    QByteArray frames = frame("TIT2", QByteArray("\x03" "Bad \xff\xfe title", 13));
    for (int i = 0; i < 3000; ++i)
        frames += frame("TXXX", "\x03K" + QByteArray::number(i) + '\0' + "value");
    frames += frame("APIC", QByteArray("\x00image/jpeg\0\x03\0", 14) + "\xff\xd8\xff\xe0" +
                                QByteArray(20 * 1024 * 1024, '\0'));
    const QString hostile = dir.filePath("hostile.mp3");
    ASSERT_TRUE(WriteBytes(hostile, QByteArray("ID3\x04\0\0", 6) + synchsafe(frames.size()) +
                                        frames + ReadBytes(raw)));

    const QString out = dir.filePath("hostile-out");
    const ProgramRun r = home.run("/usr/bin/time", {"-f", "maxrss=%M", BatchTool(), "--convert",
                                                    "--format", "ogg", "--out", out, hostile});
    const QString& err = r.err;
    EXPECT_EQ(r.exitCode, 0) << err.toStdString();
    const QString ogg = out + "/hostile.ogg";
    EXPECT_EQ(tagsOf(ogg).value("title"), QStringLiteral("Bad \ufffd\ufffd title"));
    EXPECT_TRUE(coverOf(ogg).first.isEmpty());
    EXPECT_EQ(FfprobeAudio(ogg).value_or(ProbeInfo{}).channels, 2);
    const QStringList lines = logLinesAbout(hostile);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("Tags left out (cover picture of 20971524 bytes"))
        << lines[0].toStdString();
    // The picture is read once and let go, never copied around.
    const QRegularExpressionMatch rss = QRegularExpression("maxrss=(\\d+)").match(err);
    ASSERT_TRUE(rss.hasMatch()) << err.toStdString();
    // About 95 MB here, 50 MB without tags.
    EXPECT_LT(rss.captured(1).toInt(), 128 * 1024 * kMemoryCeilingScale);
}
