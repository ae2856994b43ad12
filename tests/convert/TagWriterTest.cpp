// Outputs the tag writer must leave exactly as they were: an RF64 file, whose form TagLib does
// not know, and any output when the disk fills up while its tagged copy is written.
#include "convert/TagWriter.h"

#include "MediaTools.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
        bool fullDisk;
        const char* reason;
    } cases[] = {
        {"big.wav", kFormatWAV, {"-c:a", "pcm_s16le", "-rf64", "always"}, false, "RF64"},
        {"full.mp3", kFormatMP3, {"-c:a", "libmp3lame"}, true, "tag writer refused"},
        {"full.wav", kFormatWAV, {"-c:a", "pcm_s16le"}, true, "tag writer refused"},
        {"full.ogg", kFormatOGG, {"-c:a", "libvorbis"}, true, "tag writer refused"},
        {"full.wma", kFormatWMA, {"-c:a", "wmav2"}, true, "tag writer refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString out = dir.filePath(c.name);
        ASSERT_TRUE(MakeSine(out, 1.0, 44100, 2, c.codec));
        const QByteArray before = ReadBytes(out);
        QStringList leftOut;
        {
            // Room for the copy of the output, not for its tags.
            FileSizeLimit limit(c.fullDisk ? before.size() + 512 : 1ULL << 40);
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
