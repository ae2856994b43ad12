#include "convert/OutputNaming.h"

#include "MediaTools.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kv;
using namespace kvtest;

namespace {
class Naming : public ::testing::Test {
protected:
    QString at(const QString& rel) const { return dir.path() + QLatin1Char('/') + rel; }
    void touch(const QString& rel) const {
        QDir().mkpath(QFileInfo(at(rel)).absolutePath());
        QFile f(at(rel));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // The name a run would get now; its claim is given up again.
    QString same(const QString& rel, const QString& ext) const {
        const OutputName n = GetOutputFileName(at(rel), ext, {true, {}});
        EXPECT_EQ(n.outcome, OutputName::Outcome::Ok);
        ReleaseOutputClaim(n);
        return n.path;
    }
    QTemporaryDir dir;
};
} // namespace

TEST(NormalizeSeparators, CollapsesDoubledSeparatorsButKeepsALeadingPair) {
    EXPECT_EQ(NormalizeSeparators("/music//song.wav"), QStringLiteral("/music/song.wav"));
    EXPECT_EQ(NormalizeSeparators("/a///b//c"), QStringLiteral("/a/b/c"));
    EXPECT_EQ(NormalizeSeparators("//server/share//x.wav"), QStringLiteral("//server/share/x.wav"));
    EXPECT_EQ(NormalizeSeparators("/plain/path"), QStringLiteral("/plain/path"));
}

TEST_F(Naming, FreeNameThenConvertedThenNumbered) {
    touch("Music/song.wav");
    EXPECT_EQ(same("Music/song.wav", "mp3"), at("Music/song.mp3"));
    touch("Music/song.mp3");
    EXPECT_EQ(same("Music/song.wav", "mp3"), at("Music/song_Converted.mp3"));
    touch("Music/song_Converted.mp3");
    EXPECT_EQ(same("Music/song.wav", "mp3"), at("Music/song_Converted_0.mp3"));
    touch("Music/song_Converted_0.mp3");
    EXPECT_EQ(same("Music/song.wav", "mp3"), at("Music/song_Converted_1.mp3"));
}

TEST_F(Naming, SameFormatInSameFolderNeverOverwritesTheSource) {
    touch("Music/take_Converted.wav");
    // The base already ends in "_Converted": straight on to the numbered names.
    EXPECT_EQ(same("Music/take_Converted.wav", "wav"), at("Music/take_Converted_0.wav"));
    touch("Music/take.wav");
    EXPECT_EQ(same("Music/take.wav", "wav"), at("Music/take_Converted_0.wav"));
    touch("Music/other.wav");
    EXPECT_EQ(same("Music/other.wav", "wav"), at("Music/other_Converted.wav"));
}

TEST_F(Naming, BaseNameDropsOnlyTheLastExtension) {
    touch("a.b.mp3");
    EXPECT_EQ(same("a.b.mp3", "ogg"), at("a.b.ogg"));
    touch("noext");
    EXPECT_EQ(same("noext", "wav"), at("noext.wav"));
}

TEST_F(Naming, OnlyFilesCountAsTakenButDanglingLinksAreNotWrittenThrough) {
    touch("s.wav");
    QDir().mkdir(at("s.mp3"));
    EXPECT_EQ(same("s.wav", "mp3"), at("s.mp3"));
    ASSERT_TRUE(QFile::link(at("nowhere/target"), at("s.ogg")));
    EXPECT_EQ(same("s.wav", "ogg"), at("s_Converted.ogg"));
}

TEST_F(Naming, OtherFolderIsCreatedWhenItsParentExists) {
    touch("in/x.flac");
    const OutputName n = GetOutputFileName(at("in/x.flac"), "wav", {false, at("out/")});
    ASSERT_EQ(n.outcome, OutputName::Outcome::Ok);
    EXPECT_EQ(n.path, at("out/x.wav")); // no second "/" after the trailing one
    EXPECT_TRUE(QFileInfo(at("out")).isDir());

    const OutputName deep = GetOutputFileName(at("in/x.flac"), "wav", {false, at("a/b/c")});
    EXPECT_EQ(deep.outcome, OutputName::Outcome::FolderNotCreated);
    EXPECT_FALSE(QFileInfo(at("a")).exists());

    const OutputName empty = GetOutputFileName(at("in/x.flac"), "wav", {false, QString()});
    EXPECT_EQ(empty.outcome, OutputName::Outcome::FolderNotCreated);

    touch("afile");
    const OutputName onFile = GetOutputFileName(at("in/x.flac"), "wav", {false, at("afile")});
    EXPECT_EQ(onFile.outcome, OutputName::Outcome::FolderNotCreated);
}

TEST_F(Naming, GivesUpWhenEveryNumberedNameIsTaken) {
    touch("full/t.wav");
    touch("full/t.mp3");
    touch("full/t_Converted.mp3");
    for (int k = 0; k <= 10000; ++k) {
        QFile f(at(QStringLiteral("full/t_Converted_%1.mp3").arg(k)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const OutputName n = GetOutputFileName(at("full/t.wav"), "mp3", {true, {}});
    EXPECT_EQ(n.outcome, OutputName::Outcome::NoFreeName);
    EXPECT_TRUE(n.path.isEmpty());
    QFile::remove(at("full/t_Converted_10000.mp3"));
    EXPECT_EQ(same("full/t.wav", "mp3"), at("full/t_Converted_10000.mp3"));
}

TEST_F(Naming, ConvertersTakeOverOnlyAnEmptyClaimOrAMissingName) {
    const OutputName claimed = GetOutputFileName(at("x.flac"), "wav", {true, {}});
    ASSERT_EQ(claimed.outcome, OutputName::Outcome::Ok);
    ASSERT_TRUE(WriteBytes(at("full.wav"), "keep me"));
    ASSERT_TRUE(QFile::link(at("nowhere/target.wav"), at("dangling.wav")));
    ASSERT_TRUE(WriteBytes(at("empty.wav"), QByteArray()));
    QDir().mkdir(at("folder.wav"));
    ASSERT_EQ(mkfifo(QFile::encodeName(at("pipe.wav")).constData(), 0600), 0);
    const struct {
        QString path;
        bool opens;
    } cases[] = {
        {claimed.path, true},        {at("missing.wav"), true}, {at("full.wav"), false},
        {at("dangling.wav"), false}, {at("folder.wav"), false}, {at("pipe.wav"), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QFile file;
        QString error;
        EXPECT_EQ(OpenClaimedOutput(file, c.path, &error), c.opens);
        if (c.opens) {
            EXPECT_EQ(file.write("new"), 3);
            file.close();
            EXPECT_EQ(ReadBytes(c.path), QByteArray("new"));
        } else {
            EXPECT_TRUE(error.startsWith(c.path + QStringLiteral(": "))) << error.toStdString();
        }
    }
    // Nothing that was there changed, and nothing was made through a link.
    EXPECT_EQ(ReadBytes(at("full.wav")), QByteArray("keep me"));
    EXPECT_EQ(ReadBytes(at("empty.wav")), QByteArray());
    EXPECT_FALSE(QFileInfo::exists(at("nowhere")));
}
