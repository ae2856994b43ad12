#include "filelist/FolderListing.h"

#include "CdImages.h"
#include "MediaTools.h"
#include "TestSupport.h"
#include "engine/CdSource.h"
#include "filelist/PathExpansion.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kv;

namespace {
void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}
} // namespace

TEST(FolderListing, OneLevelGivesNamesOfFilesOnly) {
    QTemporaryDir d;
    touch(d.filePath("b.wav"));
    touch(d.filePath("a.mp3"));
    touch(d.filePath(".hidden.ogg"));
    touch(d.filePath("sub/inner.flac"));
    touch(d.filePath("-dash 'quote\" é.wav"));
    const QStringList names = ListFolderFiles(d.path(), true, false, true);
    EXPECT_EQ(names, (QStringList{"-dash 'quote\" é.wav", ".hidden.ogg", "a.mp3", "b.wav"}));

    // As a file manager orders them: case aside, numbers by value.
    QTemporaryDir m;
    for (const char* name : {"Track 10.wav", "track 2.wav", "song.mp3", "Track 1.wav", "SONG.MP3",
                             "b.wav", "Écho.wav", "e.wav"})
        touch(m.filePath(name));
    EXPECT_EQ(ListFolderFiles(m.path(), true, false, true),
              (QStringList{"b.wav", "e.wav", "Écho.wav", "SONG.MP3", "song.mp3", "Track 1.wav",
                           "track 2.wav", "Track 10.wav"}));
}

TEST(FolderListing, RecursiveGivesFullPathsOfEveryLevelButNoFolderNames) {
    QTemporaryDir d;
    touch(d.filePath("top.wav"));
    touch(d.filePath("x/one.wav"));
    touch(d.filePath("x/y/two.wav"));
    QDir().mkpath(d.filePath("empty"));
    const QStringList all = ListFolderFiles(d.path() + "/", false, false, false);
    EXPECT_EQ(all, (QStringList{d.filePath("top.wav"), d.filePath("x/one.wav"),
                                d.filePath("x/y/two.wav")}));
    const QStringList withFolders = ListFolderFiles(d.path(), true, true, false);
    EXPECT_EQ(withFolders,
              (QStringList{d.filePath("empty"), d.filePath("top.wav"), d.filePath("x")}));
}

TEST(FolderListing, MissingFolderAndLinkLoopsEndQuietly) {
    EXPECT_TRUE(ListFolderFiles("/nonexistent/kelvanto", false, false, false).isEmpty());
    QTemporaryDir d;
    touch(d.filePath("a/f.wav"));
    ASSERT_TRUE(QFile::link(d.path(), d.filePath("a/loop")));
    const QStringList all = ListFolderFiles(d.path(), false, false, false);
    EXPECT_EQ(all, (QStringList{d.filePath("a/f.wav")}));
}

// Adding a folder: a disc image's sheet stands for its tracks and takes the data files it names
// with it; a data file no image names, and the files of a rip's sheet, stay as they are.
TEST(FolderListing, AddingAFolderTakesADiscImagesDataFileWithItsSheet) {
    QTemporaryDir d;
    const QString cue = kvtest::WriteCdImage(
        d.filePath("disc.cue"), d.filePath("disc.bin"),
        {{true, kvtest::CdTone(75, 440)},
         {false, QByteArray(75 * 2352, '\0')},
         {true, kvtest::CdTone(75, 880), {}, {}, QStringLiteral("Second Part.bin")}});
    touch(d.filePath("a.wav"));
    touch(d.filePath("other.bin"));
    touch(d.filePath("rip.wav"));
    ASSERT_TRUE(kvtest::WriteBytes(d.filePath("rip.cue"), "FILE \"rip.wav\" WAVE\r\n"
                                                          "  TRACK 01 AUDIO\r\n"
                                                          "    INDEX 01 00:00:00\r\n"));
    EXPECT_EQ(ExpandPathForAdding(d.path() + "/").paths,
              (QStringList{d.filePath("a.wav"), MakeCdTrackPath(cue, 1), MakeCdTrackPath(cue, 3),
                           d.filePath("other.bin"), d.filePath("rip.cue"), d.filePath("rip.wav")}));
}

TEST(FolderListing, JoinPathNeverDoublesTheSeparator) {
    EXPECT_EQ(JoinPath("/", "a.wav"), QStringLiteral("/a.wav"));
    EXPECT_EQ(JoinPath("/m/", "a.wav"), QStringLiteral("/m/a.wav"));
    EXPECT_EQ(JoinPath("/m", "a.wav"), QStringLiteral("/m/a.wav"));
}
