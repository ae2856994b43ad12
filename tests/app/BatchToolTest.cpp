// kelvanto-batch from the outside: its listing, its messages and its exit codes.
#include "CdImages.h"
#include "MediaTools.h"
#include "SynthFixtures.h"
#include "TestSupport.h"
#include "engine/CdSource.h"
#include "engine/Decoders.h"
#include "filelist/AddFile2Grid.h"
#include "filelist/FolderListing.h"
#include "filelist/PathExpansion.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kv;
using namespace kvtest;

namespace {

using BatchRun = ProgramRun;

BatchRun batch(const QStringList& args, const QString& workingDir = QString()) {
    PrivateHome home;
    home.workingDir = workingDir;
    return home.run(BatchTool(), args);
}

// The lines the window's list would hold for these paths, added in this process.
QString listAsItWouldBe(const QStringList& paths) {
    RecordingAddHost host;
    RegisterDecoders();
    FileListModel model;
    for (QString p : paths)
        AddFile2Grid(p, model, host);
    QString out;
    for (int i = 0; i < model.rowCount(); ++i) {
        const FileListRow& r = model.table()->row(i);
        out += QStringList{r.FilePath, r.Status, r.Duration, r.FileSize}.join(QLatin1Char('\t')) +
               QLatin1Char('\n');
    }
    return out;
}

class BatchTool : public ::testing::Test {
protected:
    QString tone(const QString& name, double seconds = 2.2) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(MakeSine(path, seconds, 8000, 1, {}));
        return path;
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(BatchTool, CommandLine) {
    const QString a = tone(QStringLiteral("a.wav"));
    const QString version = QStringLiteral("kelvanto-batch %1.%2.%3\n")
                                .arg(KV_VERSION_MAJOR)
                                .arg(KV_VERSION_MINOR)
                                .arg(KV_VERSION_REVISION);
    const QString tryHelp = QStringLiteral("Try 'kelvanto-batch --help' for more information.\n");
    struct Case {
        QStringList args;
        int exitCode;
        QString outStart; // what standard output begins with
        QString err;      // all of standard error
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: kelvanto-batch [options] [--] PATH...\n", ""},
        {{"-h"}, 0, "Usage: kelvanto-batch", ""},
        {{"--version"}, 0, version, ""},
        {{}, 2, "", "Usage: kelvanto-batch [options] [--] PATH...\n" + tryHelp},
        // One line and a pointer to the help, not the whole help.
        {{"--frobnicate", a}, 2, "", "kelvanto-batch: unknown option --frobnicate\n" + tryHelp},
        {{"--out", "", "--convert", a}, 2, "", "kelvanto-batch: --out needs a folder\n" + tryHelp},
        {{""}, 2, "", "kelvanto-batch: an empty PATH\n" + tryHelp},
        {{"--language", "nowhere.ini", a},
         2,
         "",
         "kelvanto-batch: " + dir.filePath("nowhere.ini") + ": No such file or directory\n"},
        // Refused at once, not read without end.
        {{"--language", "/dev/zero", a}, 2, "", "kelvanto-batch: /dev/zero: Not a regular file\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const BatchRun r = batch(c.args, dir.path());
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        if (c.outStart.isEmpty()) {
            EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        } else {
            EXPECT_TRUE(r.out.startsWith(c.outStart)) << r.out.toStdString();
        }
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(BatchTool, PathsAreMadeAbsoluteAndCleanSoOneFileIsOneRow) {
    const QString a = tone(QStringLiteral("a.wav"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("sub"))));
    const BatchRun r = batch({QStringLiteral("a.wav"), QStringLiteral("./a.wav"), a,
                              QStringLiteral("sub/../a.wav"), QStringLiteral(".//a.wav")},
                             dir.path());
    // The file is listed, so naming it more than once is no failure.
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, a + QStringLiteral("\tWaiting Conversion\t00:02\t") +
                         FormatFileSize(QFileInfo(a).size()) + QLatin1Char('\n'));
    EXPECT_EQ(r.err.count(QStringLiteral("already in the list")), 4) << r.err.toStdString();
}

TEST_F(BatchTool, ListsRowsExactlyAsTheListHoldsThem) {
    const QString good = tone(QStringLiteral("Ünïcödé \"song\".wav"), 65.3);
    const QString flac = tone(QStringLiteral("b.flac"));
    const QString junk = dir.filePath(QStringLiteral("junk.mp3"));
    ASSERT_TRUE(WriteBytes(junk, QByteArray(5000, 'x')));
    const QString mid = dir.filePath(QStringLiteral("tune.mid"));
    ASSERT_TRUE(WriteBytes(mid, MakeMidiFile()));

    const QStringList paths{good, flac, junk, mid};
    const BatchRun r = batch(paths);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_EQ(r.out, listAsItWouldBe(paths));
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], good + QStringLiteral("\tWaiting Conversion\t01:05\t") +
                            FormatFileSize(QFileInfo(good).size()));
    EXPECT_EQ(lines[2], junk + QStringLiteral("\tCodec Not Supported\tError\t4.88 KB"));
    EXPECT_EQ(lines[3], mid + QStringLiteral("\tWaiting Conversion\t00:02\t") +
                            FormatFileSize(QFileInfo(mid).size()));
}

TEST_F(BatchTool, RefusedPathsGoToStandardErrorAndExitOne) {
    const QString good = tone(QStringLiteral("a.wav"));
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    ASSERT_TRUE(WriteBytes(text, "hello"));
    const QString gone = dir.filePath(QStringLiteral("gone.wav"));
    const BatchRun r = batch({good, text, gone, good});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(r.out.startsWith(good + QLatin1Char('\t')));
    const QStringList err = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(err.size(), 3) << r.err.toStdString();
    EXPECT_TRUE(err[0].contains(text) &&
                err[0].contains(QStringLiteral("not an accepted extension")));
    EXPECT_TRUE(err[1].contains(gone) &&
                err[1].contains(QStringLiteral("An error occured while Adding File: 2:")));
    EXPECT_TRUE(err[2].contains(good) && err[2].contains(QStringLiteral("already")));
}

TEST_F(BatchTool, FolderAddsTheFilesDirectlyInside) {
    const QString sub = dir.filePath(QStringLiteral("album"));
    ASSERT_TRUE(QDir().mkpath(sub + QStringLiteral("/inner")));
    ASSERT_TRUE(MakeSine(sub + QStringLiteral("/b.wav"), 1.2, 8000, 1, {}));
    ASSERT_TRUE(MakeSine(sub + QStringLiteral("/a.flac"), 1.2, 8000, 1, {}));
    ASSERT_TRUE(MakeSine(sub + QStringLiteral("/inner/deep.wav"), 1.2, 8000, 1, {}));

    for (const QString& folder : {sub, sub + QLatin1Char('/')}) {
        const BatchRun r = batch({folder});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
        EXPECT_TRUE(
            lines[0].startsWith(sub + QStringLiteral("/a.flac\tWaiting Conversion\t00:01")));
        EXPECT_TRUE(lines[1].startsWith(sub + QStringLiteral("/b.wav\t")));
    }
    ASSERT_TRUE(WriteBytes(sub + QStringLiteral("/cover.jpg"), "jpeg"));
    EXPECT_EQ(batch({sub}).exitCode, 1);

    // A disc image's folder: the sheet's tracks, its data file passed over without a word.
    const QString disc = dir.filePath(QStringLiteral("disc"));
    ASSERT_TRUE(QDir().mkpath(disc));
    const QString cue =
        WriteCdImage(disc + QStringLiteral("/Album.cue"), disc + QStringLiteral("/Album.bin"),
                     {{true, CdTone(150, 440)}, {true, CdTone(75, 880)}});
    const BatchRun image = batch({disc});
    EXPECT_EQ(image.exitCode, 0) << image.err.toStdString();
    EXPECT_EQ(image.err, QString());
    EXPECT_EQ(image.out, MakeCdTrackPath(cue, 1) +
                             QStringLiteral("\tWaiting Conversion\t00:02\tCD Track\n") +
                             MakeCdTrackPath(cue, 2) +
                             QStringLiteral("\tWaiting Conversion\t00:01\tCD Track\n"));

    const QString empty = dir.filePath(QStringLiteral("empty"));
    ASSERT_TRUE(QDir().mkpath(empty));
    const BatchRun e = batch({empty});
    EXPECT_EQ(e.exitCode, 1);
    EXPECT_TRUE(e.err.contains(QStringLiteral("Selected Folder is empty.")));
}

TEST_F(BatchTool, PathsBeginningWithADash) {
    tone(QStringLiteral("-dash.wav"));
    tone(QStringLiteral("--help.wav"));
    const BatchRun r =
        batch({QStringLiteral("--"), QStringLiteral("-dash.wav"), QStringLiteral("--help.wav")},
              dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString dash = dir.filePath(QStringLiteral("-dash.wav"));
    const QString help = dir.filePath(QStringLiteral("--help.wav"));
    EXPECT_EQ(r.out, dash + QStringLiteral("\tWaiting Conversion\t00:02\t") +
                         FormatFileSize(QFileInfo(dash).size()) + QLatin1Char('\n') + help +
                         QStringLiteral("\tWaiting Conversion\t00:02\t") +
                         FormatFileSize(QFileInfo(help).size()) + QLatin1Char('\n'));
}

TEST_F(BatchTool, ControlCharactersInNamesAreEscaped) {
    const QString odd = tone(QStringLiteral("tab\there.wav"));
    const BatchRun r = batch({odd});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(
        r.out.startsWith(dir.path() + QStringLiteral("/tab\\there.wav\tWaiting Conversion\t")))
        << r.out.toStdString();
    EXPECT_EQ(r.out.count(QLatin1Char('\t')), 3);
}

// A library tree: every level in name order, the hidden folder left out, the link back to the
// top not followed, the link to a folder elsewhere followed once (the second link to it not).
TEST_F(BatchTool, SubfoldersListTheTreeOnce) {
    const QString root = dir.filePath(QStringLiteral("Music"));
    const QString sample = tone(QStringLiteral("sample.wav"), 0.3);
    QStringList tree{QStringLiteral("intro.wav")};
    for (int n = 0; n < 18; ++n) // 3 artists x 2 albums x 3 tracks
        tree << QStringLiteral("Artist %1/Album %2/0%3.wav")
                    .arg(n / 6 + 1)
                    .arg(n / 3 % 2 + 1)
                    .arg(n % 3 + 1);
    tree.insert(13, QStringLiteral("Artist 2/link/extra.wav")); // after Artist 2/Album 2
    QStringList expected;
    for (const QString& name : tree + QStringList{".cache/hidden.wav"}) {
        const QString path =
            name.contains("link") ? dir.filePath("Outside/extra.wav") : root + "/" + name;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()) && QFile::copy(sample, path));
        expected << root + "/" + name;
    }
    expected.removeLast();
    ASSERT_TRUE(QFile::link(root, root + "/Artist 1/Album 1/loop"));
    ASSERT_TRUE(QFile::link(dir.filePath("Outside"), root + "/Artist 2/link"));
    ASSERT_TRUE(QFile::link(dir.filePath("Outside"), root + "/Artist 3/again"));
    const auto firstFields = [](const BatchRun& run) {
        QStringList paths;
        for (const QString& line : run.lines)
            paths << line.section(QLatin1Char('\t'), 0, 0);
        return paths;
    };
    PrivateHome saved;
    StoreOutputSettings({{"chkSubfolders", "True"}}, saved.settingsFile());
    const std::pair<const char*, QStringList> rows[] = {
        {"listing", ListFolderFiles(root, false, false, false)},
        {"adding", ExpandPathForAdding(root, true).paths},
        {"tool --recursive", firstFields(batch({"--recursive", root}))},
        {"tool, saved setting on", firstFields(saved.run(kvtest::BatchTool(), {root}))},
    };
    for (const auto& [what, listed] : rows)
        EXPECT_EQ(listed, expected) << what;
    EXPECT_EQ(firstFields(batch({root})), QStringList{root + "/intro.wav"});
}
