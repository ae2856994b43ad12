// Outputs the tag writer must leave exactly as they were: an RF64 file, whose form TagLib does
// not know, and any output when the disk fills up while its tagged copy is written or the
// program is killed while tagging.
#include "formats/TagWriter.h"

#include "MediaTools.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using namespace kv;
using namespace kvtest;

TEST(TagWriter, AnOutputThatCannotTakeItsTagsIsLeftByteForByte) {
    QTemporaryDir dir;
    SourceTags tags;
    tags.text(TagField::Title) = QStringLiteral("A title long enough to need room");
    tags.text(TagField::Comment) = QString(4000, QLatin1Char('c'));
    const struct {
        const char* name;
        int format;
        QStringList codec;
        qint64 room; // bytes a file may grow past the output's size; 0 for no limit
        const char* reason;
    } cases[] = {
        {"big.wav", kFormatWAV, {"-c:a", "pcm_s16le", "-rf64", "always"}, 0, "RF64"},
        // Room for the copy of the output, not for its tags.
        {"full.mp3", kFormatMP3, {"-c:a", "libmp3lame"}, 512, "written (File too large)"},
        {"full.wav", kFormatWAV, {"-c:a", "pcm_s16le"}, 512, "written (File too large)"},
        {"full.ogg", kFormatOGG, {"-c:a", "libvorbis"}, 512, "written (File too large)"},
        {"full.wma", kFormatWMA, {"-c:a", "wmav2"}, 512, "written (File too large)"},
        // Not even for the copy.
        {"copy.wav", kFormatWAV, {"-c:a", "pcm_s16le"}, -4096,
         "no copy of the output (File too large)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = dir.filePath(c.name);
        ASSERT_TRUE(MakeSine(out, 1.0, 44100, 2, c.codec));
        const QByteArray before = ReadBytes(out);
        QStringList leftOut;
        {
            FileSizeLimit limit(c.room != 0 ? before.size() + c.room : 1LL << 40);
            ASSERT_TRUE(limit.active());
            leftOut = WriteOutputTags(out, c.format, tags);
        }
        ASSERT_EQ(leftOut.size(), 1);
        EXPECT_TRUE(leftOut[0].contains(QLatin1String(c.reason))) << leftOut[0].toStdString();
        EXPECT_EQ(ReadBytes(out), before);
        // No half-written copy stays beside it.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(),
                  static_cast<qsizetype>(&c - cases) + 1);
    }
}

TEST(TagWriter, KilledWhileTaggingLeavesTheOutputWholeAndNoCopyBeside) {
    QTemporaryDir dir;
    const QString out = dir.filePath("long.mp3");
    // Big enough that copying it takes most of each tagging, so most kills land in a copy.
    ASSERT_TRUE(MakeWithFfmpeg({"-f", "lavfi", "-i", "anoisesrc=d=120:a=0.3", "-ac", "2",
                                "-c:a", "libmp3lame", "-b:a", "320k"},
                               out));
    SourceTags tags;
    tags.text(TagField::Title) = QStringLiteral("first");
    // A named copy of a process that is gone is swept; ours, and names not of that form, stay.
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    const QString dead = QStringLiteral(".kvtags-%1-0").arg(gone);
    const QString ours = QStringLiteral(".kvtags-%1-7").arg(::getpid());
    for (const QString& name : {dead, ours, QStringLiteral(".kvtags-notes")})
        ASSERT_TRUE(WriteBytes(dir.filePath(name), "x"));
    EXPECT_TRUE(WriteOutputTags(out, kFormatMP3, tags).isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{ours, ".kvtags-notes", "long.mp3"}));
    QFile::remove(dir.filePath(ours));
    QFile::remove(dir.filePath(".kvtags-notes"));
    // Tags without end, killed during a tagging after the first.
    for (int round = 0; round < 10; ++round) {
        ASSERT_TRUE(KilledMidLoop(0, [&](int i) {
            tags.text(TagField::Title) = QString::number(i);
            return WriteOutputTags(out, kFormatMP3, tags).isEmpty();
        })) << "round " << round;
    }
    // Nothing stays beside the output once the folder is tagged in again: a kill can only
    // land in the moment a copy has its name, and that name says whose it was.
    EXPECT_TRUE(WriteOutputTags(out, kFormatMP3, tags).isEmpty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("long.mp3")});
    EXPECT_NEAR(FfprobeSeconds(out), 120.0, 0.5);
}
