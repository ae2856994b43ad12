// Adding files to the list: path checks, the length probe, size texts, statuses and colours.
#include "filelist/AddFile2Grid.h"
#include "MediaTools.h"
#include "SynthFixtures.h"
#include "TestSupport.h"
#include "engine/DecodeStream.h"
#include "engine/Decoders.h"
#include "filelist/LengthProbe.h"
#include "lang/Captions.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace kv;
using namespace kvtest;

namespace {

const QColor kRed(220, 10, 10);

class AddFileTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterDecoders(); }
    QString file(const QString& name) const { return dir.filePath(name); }
    QString tone(const QString& name, double seconds = 3.2, int rate = 8000) const {
        const QString path = file(name);
        EXPECT_TRUE(MakeSine(path, seconds, rate, 1, {}));
        return path;
    }
    QString bytes(const QString& name, const QByteArray& data) const {
        const QString path = file(name);
        EXPECT_TRUE(WriteBytes(path, data));
        return path;
    }
    QTemporaryDir dir;
    FileListModel model;
    RecordingAddHost host;
};

} // namespace

TEST(FormatFileSize, UnitsAndHalfEvenRounding) {
    EXPECT_EQ(FormatFileSize(0), QStringLiteral("0 Bytes"));
    EXPECT_EQ(FormatFileSize(1023), QStringLiteral("1023 Bytes"));
    EXPECT_EQ(FormatFileSize(1024), QStringLiteral("1 KB"));
    EXPECT_EQ(FormatFileSize(1536), QStringLiteral("1.5 KB"));
    EXPECT_EQ(FormatFileSize(2048), QStringLiteral("2 KB"));
    EXPECT_EQ(FormatFileSize(1048575), QStringLiteral("1024 KB"));
    EXPECT_EQ(FormatFileSize(1048576), QStringLiteral("1 MB"));
    EXPECT_EQ(FormatFileSize(1073741823), QStringLiteral("1024 MB"));
    EXPECT_EQ(FormatFileSize(1073741824), QStringLiteral("1 GB"));
    EXPECT_EQ(FormatFileSize(3ULL << 30), QStringLiteral("3 GB"));
    EXPECT_EQ(FormatFileSize((3ULL << 30) + (1ULL << 29)), QStringLiteral("3.5 GB"));
    EXPECT_EQ(FormatFileSize(5ULL << 40), QStringLiteral("5120 GB"));
    // 1152 bytes are 1.125 KB and 1408 are 1.375 KB: halves go to the even hundredth.
    EXPECT_EQ(FormatFileSize(1152), QStringLiteral("1.12 KB"));
    EXPECT_EQ(FormatFileSize(1408), QStringLiteral("1.38 KB"));
    EXPECT_EQ(FormatFileSize(1034), QStringLiteral("1.01 KB"));
    EXPECT_EQ(FormatFileSize(UINT64_MAX), QStringLiteral("17179869184 GB"));
}

TEST(FormatFileSize, UsesTheLocaleDecimalSeparator) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatFileSize(1536), QStringLiteral("1,5 KB"));
    EXPECT_EQ(FormatFileSize(123456789), QStringLiteral("117,74 MB"));
    EXPECT_EQ(FormatFileSize(1048576 * 1000ULL), QStringLiteral("1000 MB"));
    EXPECT_EQ(FormatFileSize(1048576 * 1500ULL), QStringLiteral("1,46 GB"));
    QLocale::setDefault(saved);
    EXPECT_EQ(FormatFileSize(1536), QLocale().decimalPoint() == QStringLiteral(",")
                                        ? QStringLiteral("1,5 KB")
                                        : QStringLiteral("1.5 KB"));
}

TEST(LengthText, MinutesAndSeconds) {
    EXPECT_EQ(LengthText(0), QStringLiteral("00:00"));
    EXPECT_EQ(LengthText(65), QStringLiteral("01:05"));
    EXPECT_EQ(LengthText(187), QStringLiteral("03:07"));
    EXPECT_EQ(LengthText(6000), QStringLiteral("100:00"));
    EXPECT_EQ(LengthText(7500), QStringLiteral("125:00"));
}

TEST(AddFilePaths, NormalisingAndExtensions) {
    EXPECT_EQ(NormalisePath(QStringLiteral("/music//song.wav")), QStringLiteral("/music/song.wav"));
    EXPECT_EQ(NormalisePath(QStringLiteral("/a//b//c.wav")), QStringLiteral("/a/b/c.wav"));
    // A network path keeps its leading pair and any later pair.
    EXPECT_EQ(NormalisePath(QStringLiteral("//server/share//x.wav")),
              QStringLiteral("//server/share//x.wav"));

    EXPECT_EQ(ExtensionOf(QStringLiteral("/m/song.MP3")), QStringLiteral("MP3"));
    EXPECT_EQ(ExtensionOf(QStringLiteral("/m.dir/song")), QString());
    EXPECT_EQ(ExtensionOf(QStringLiteral("/m/a.b.flac")), QStringLiteral("flac"));
    for (const char* ok :
         {"MP3", "wav", "CDA", "mid", "midi", "fla", "mp", "Mov", "dat", "ofr", "opus", "M4A"})
        EXPECT_TRUE(IsAcceptedExtension(QString::fromLatin1(ok))) << ok;
    for (const char* no : {"", "mod", "mo3", "wv", "m4b", "txt", "wavx", "flacc", "opuss"})
        EXPECT_FALSE(IsAcceptedExtension(QString::fromLatin1(no))) << no;
    EXPECT_TRUE(IsCdTrack(QStringLiteral("/cd/track01.CDA")));
    EXPECT_TRUE(IsCdTrack(QStringLiteral("/cd/Track02.cDa")));
    EXPECT_FALSE(IsCdTrack(QStringLiteral("/cd/track01.wav")));
}

TEST_F(AddFileTest, GoodFileBecomesAWaitingRow) {
    QString path = tone(QStringLiteral("tone.wav"));
    ASSERT_TRUE(AddFile2Grid(path, model, host));
    ASSERT_EQ(model.rowCount(), 1);
    const FileListRow& r = model.table()->row(0);
    EXPECT_EQ(r.ID, 0);
    EXPECT_EQ(r.CheckBox, 0);
    EXPECT_EQ(r.FilePath, path);
    EXPECT_EQ(r.Status, kStatusWaiting);
    EXPECT_EQ(r.Duration, QStringLiteral("00:03"));
    EXPECT_EQ(r.FileSize, FormatFileSize(QFileInfo(path).size()));
    EXPECT_FALSE(model.cellColor(0, FileListColumn::Status).isValid());
    EXPECT_FALSE(model.cellColor(0, FileListColumn::Duration).isValid());
    EXPECT_EQ(host.cleared, 1);
    EXPECT_TRUE(host.errors.isEmpty());
}

TEST_F(AddFileTest, DuplicatesAndRefusedExtensionsAddNothingSilently) {
    QString a = tone(QStringLiteral("a.wav"));
    ASSERT_TRUE(AddFile2Grid(a, model, host));
    QString again = a;
    EXPECT_EQ(AddFile(again, model, host), AddFileResult::Duplicate);
    // The doubled separator is collapsed before the duplicate test.
    QString doubled = dir.path() + QStringLiteral("//a.wav");
    EXPECT_EQ(AddFile(doubled, model, host), AddFileResult::Duplicate);
    EXPECT_EQ(doubled, a);
    // Letter case makes another file.
    QString upper = tone(QStringLiteral("A.wav"));
    EXPECT_TRUE(AddFile2Grid(upper, model, host));

    for (const char* name : {"tune.mod", "tune.mo3", "tune.wv", "noextension", "x.m4b"}) {
        QString p = bytes(QString::fromLatin1(name), MakeProTrackerModule());
        EXPECT_EQ(AddFile(p, model, host), AddFileResult::NotAccepted) << name;
    }
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(host.cleared, 2);
    EXPECT_TRUE(host.errors.isEmpty());
}

TEST_F(AddFileTest, AcceptedThroughTheSubstringTest) {
    QString upper = tone(QStringLiteral("song.MP3"));
    EXPECT_TRUE(AddFile2Grid(upper, model, host));
    QString mid = bytes(QStringLiteral("tune.mid"), MakeMidiFile());
    ASSERT_TRUE(AddFile2Grid(mid, model, host));
    const FileListRow& r = model.table()->row(1);
    EXPECT_EQ(r.Status, kStatusWaiting);
    EXPECT_EQ(r.Duration, QStringLiteral("00:02")); // 1.75 seconds
}

TEST_F(AddFileTest, UnreadableFilesBecomeRedNotSupportedRows) {
    QByteArray random(20000, '\0');
    for (int i = 0; i < random.size(); ++i)
        random[i] = char((i * 7919) ^ (i >> 3));
    const QString good = tone(QStringLiteral("good.wav"), 1.0);
    QFile g(good);
    ASSERT_TRUE(g.open(QIODevice::ReadOnly));
    const QByteArray wav = g.readAll();
    const QList<QPair<QString, QByteArray>> cases = {
        {QStringLiteral("empty.wav"), QByteArray()},
        {QStringLiteral("random.mp3"), random},
        {QStringLiteral("header only.wav"), wav.left(40)},
        {QStringLiteral("really a module.ogg"), MakeProTrackerModule().left(700)},
        {QStringLiteral("text.flac"), QByteArray("not audio\n").repeated(100)},
        {QStringLiteral("frog.ofr"), QByteArray("OFR ").append(random)},
        {QStringLiteral("broken.mid"), MakeMidiFile().left(30)},
    };
    for (const auto& [name, data] : cases) {
        SCOPED_TRACE(name.toStdString());
        QString p = bytes(name, data);
        ASSERT_TRUE(AddFile2Grid(p, model, host));
        const int row = model.rowCount() - 1;
        const FileListRow& r = model.table()->row(row);
        EXPECT_EQ(r.Status, kStatusNotSupported);
        EXPECT_EQ(r.Duration, QStringLiteral("Error"));
        EXPECT_EQ(r.FileSize, FormatFileSize(static_cast<std::uint64_t>(data.size())));
        EXPECT_EQ(model.cellColor(row, FileListColumn::Status), kRed);
        EXPECT_EQ(model.cellColor(row, FileListColumn::Duration), kRed);
        EXPECT_FALSE(model.cellColor(row, FileListColumn::FilePath).isValid());
    }
    EXPECT_TRUE(host.errors.isEmpty());
    EXPECT_EQ(LiveStreamCount(), 0);
}

TEST_F(AddFileTest, CdTrackNeedsNoFileLength) {
    QString track = file(QStringLiteral("Track01.CDA"));
    ASSERT_TRUE(AddFile2Grid(track, model, host));
    const FileListRow& r = model.table()->row(0);
    EXPECT_EQ(r.FileSize, QStringLiteral("CD Track"));
    // CD audio has no back-end yet, so the track cannot be measured.
    EXPECT_EQ(r.Status, kStatusNotSupported);
    EXPECT_TRUE(host.errors.isEmpty());
}

TEST_F(AddFileTest, RowsThatCannotBeAddedShowTheErrorBox) {
    QString missing = file(QStringLiteral("gone.wav"));
    EXPECT_FALSE(AddFile2Grid(missing, model, host));
    ASSERT_EQ(host.errors.size(), 1);
    EXPECT_TRUE(host.errors[0].startsWith(QStringLiteral("An error occured while Adding File\r2:")))
        << host.errors[0].toStdString();

    // A path longer than the 250 characters of FilePath, on a real file.
    QString deep = dir.path();
    while (deep.size() < 240)
        deep += QStringLiteral("/folder-with-a-long-name");
    ASSERT_TRUE(QDir().mkpath(deep));
    QString longPath = deep + QStringLiteral("/tone.wav");
    ASSERT_TRUE(MakeSine(longPath, 0.5, 8000, 1, {}));
    ASSERT_GT(longPath.size(), 250);
    EXPECT_FALSE(AddFile2Grid(longPath, model, host));
    ASSERT_EQ(host.errors.size(), 2);
    EXPECT_TRUE(
        host.errors[1].startsWith(QStringLiteral("An error occured while Adding File\r1:")));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(host.cleared, 0);
}

TEST_F(AddFileTest, NamesWithAccentsSpacesQuotesAndDashes) {
    for (const char* name : {"Ünïcödé – 日本語.flac", "with  two spaces.wav", "it's \"quoted\".wav",
                             "-dash.wav", "--double.mp3", "semi;colon $HOME `x`.ogg"}) {
        SCOPED_TRACE(name);
        QString p = tone(QString::fromUtf8(name), 2.2);
        ASSERT_TRUE(AddFile2Grid(p, model, host));
        const FileListRow& r = model.table()->row(model.rowCount() - 1);
        EXPECT_EQ(r.Status, kStatusWaiting);
        EXPECT_EQ(r.Duration, QStringLiteral("00:02"));
    }
}

TEST_F(AddFileTest, ProbeRoundsHalvesToEven) {
    // Mono 16-bit WAV: lengths are exact to the sample.
    EXPECT_EQ(GetDurationText(tone(QStringLiteral("59.5.wav"), 59.5, 2000)),
              QStringLiteral("01:00"));
    EXPECT_EQ(GetDurationText(tone(QStringLiteral("58.5.wav"), 58.5, 2000)),
              QStringLiteral("00:58"));
    EXPECT_EQ(GetDurationText(tone(QStringLiteral("65.wav"), 65.2, 2000)), QStringLiteral("01:05"));
    const QString long100 = file(QStringLiteral("100min.wav"));
    ASSERT_TRUE(
        MakeSine(long100, 6000, 1000, 1, {QStringLiteral("-c:a"), QStringLiteral("pcm_u8")}));
    EXPECT_EQ(GetDurationText(long100), QStringLiteral("100:00"));
}

TEST_F(AddFileTest, ProbeAgreesWithFfprobe) {
    const QList<QPair<QString, QStringList>> formats = {
        {QStringLiteral("p.wav"), {}},
        {QStringLiteral("p.flac"), {}},
        {QStringLiteral("p.mp3"), {QStringLiteral("-b:a"), QStringLiteral("64k")}},
        {QStringLiteral("p.ogg"), {QStringLiteral("-c:a"), QStringLiteral("libvorbis")}},
        {QStringLiteral("p.wma"), {}},
        {QStringLiteral("p.ac3"), {}},
        {QStringLiteral("p.mp4"), {}},
    };
    for (const auto& [name, args] : formats) {
        SCOPED_TRACE(name.toStdString());
        const QString path = file(name);
        ASSERT_TRUE(MakeSine(path, 75.3, 44100, 2, args));
        const std::optional<ProbeInfo> probe = FfprobeAudio(path);
        ASSERT_TRUE(probe.has_value());
        EXPECT_EQ(GetDurationText(path), LengthText(std::llround(probe->duration)));
    }
}

TEST_F(AddFileTest, ErrorTextFollowsTheLanguageButTheRowStaysRed) {
    ProgramFolderFixture folder;
    folder.writeFile(QStringLiteral("Lang/Deutsch.ini"),
                     QByteArray("[Kelvanto]\r\n20013=Fehler\r\n"));
    const QString saved = LanguageFile();
    SetLanguageFile(QStringLiteral("Deutsch.ini"));
    QString p = bytes(QStringLiteral("junk.wav"), QByteArray("junk").repeated(100));
    bool failed = false;
    EXPECT_EQ(GetDurationText(p, &failed), QStringLiteral("Fehler"));
    EXPECT_TRUE(failed);
    ASSERT_TRUE(AddFile2Grid(p, model, host));
    EXPECT_EQ(model.table()->row(0).Status, kStatusNotSupported);
    EXPECT_EQ(model.table()->row(0).Duration, QStringLiteral("Fehler"));
    EXPECT_EQ(model.cellColor(0, FileListColumn::Status), kRed);
    SetLanguageFile(saved);
}

TEST_F(AddFileTest, ProbingManyFilesLeavesNothingOpen) {
    const QString wav = tone(QStringLiteral("base.wav"), 0.5);
    const QString mod = bytes(QStringLiteral("base.mod"), MakeProTrackerModule());
    const QString mid = bytes(QStringLiteral("base.mid"), MakeMidiFile());
    const QString junk = bytes(QStringLiteral("base.mp3"), QByteArray(3000, '\x55'));
    const int fdsBefore = OpenFileDescriptors();
    int failures = 0;
    for (int i = 0; i < 100; ++i) {
        for (const QString& p : {wav, mod, mid, junk}) {
            bool failed = false;
            GetDurationText(p, &failed);
            failures += failed;
        }
    }
    EXPECT_EQ(failures, 100); // only the junk
    EXPECT_EQ(LiveStreamCount(), 0);
    EXPECT_EQ(OpenFileDescriptors(), fdsBefore);
}
