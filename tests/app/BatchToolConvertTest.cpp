// kelvanto-batch --convert from the outside: outputs checked with ffprobe, exit codes, options
// from the saved settings, and Ctrl+C.
#include "MediaTools.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace kvtest;

namespace {
struct ToolRun {
    int exitCode = -1;
    QStringList lines;
    QString err;
};

class ToolConvert : public ::testing::Test {
protected:
    void SetUp() override {
        // The tool reads the settings of this private home, never the user's.
        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    }
    void start(QProcess& p, const QStringList& args) {
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(KV_PROGRAM_DIR "/kelvanto-batch"), args);
    }
    ToolRun run(const QStringList& args) {
        QProcess p;
        start(p, args);
        ToolRun r;
        if (!p.waitForFinished(120000))
            return r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    QString flac(const QString& name, double seconds, int rate = 44100, int channels = 2) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(MakeSine(path, seconds, rate, channels, {"-c:a", "flac"}));
        return path;
    }
    void saveSetting(const QString& key, const QString& value) {
        const QString file = home.filePath("config/Kelvanto/Settings.ini");
        StoredValues values = StoredOutputSettings(file);
        values[key] = value;
        StoreOutputSettings(values, file);
    }
    QTemporaryDir home, dir;
    QProcessEnvironment env;
};
} // namespace

TEST_F(ToolConvert, ConvertsIntoTheChosenFolderAndPrintsFinalStatusesAndOutputs) {
    const QString a = flac("a one.flac", 2.0);
    const QString b = flac("-b.flac", 1.0, 22050, 1);
    const QString out = dir.filePath("out");
    const ToolRun r = run({"--convert", "--format", "wav", "--out", out, "--", a, b});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_EQ(r.lines.size(), 2);
    const QStringList first = r.lines[0].split('\t');
    ASSERT_EQ(first.size(), 5);
    EXPECT_EQ(first[0], a);
    EXPECT_EQ(first[1], QStringLiteral("Complete"));
    EXPECT_EQ(first[4], out + "/a one.wav");
    EXPECT_EQ(r.lines[1].split('\t').value(4), out + "/-b.wav");
    // Every output holds exactly what an independent decode of its source gives.
    for (const auto& [src, wav] :
         {std::pair{a, out + "/a one.wav"}, std::pair{b, out + "/-b.wav"}}) {
        const auto expected = FfmpegDecode(src, "s16le");
        const auto actual = FfmpegDecode(wav, "s16le");
        ASSERT_TRUE(expected && actual);
        EXPECT_TRUE(*expected == *actual) << wav.toStdString();
    }
    // A progress line per file on standard error.
    EXPECT_TRUE(r.err.contains(a + ": Complete -> " + out + "/a one.wav")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(b + ": Complete -> " + out + "/-b.wav"));
}

TEST_F(ToolConvert, SameFolderNeverOverwritesAndUnconvertibleRowsStayAsTheyAre) {
    const QString a = flac("song.flac", 1.0);
    ASSERT_TRUE(WriteBytes(dir.filePath("song.wav"), "already here"));
    ASSERT_TRUE(WriteBytes(dir.filePath("noise.mp3"), QByteArray(4000, '\x33')));
    const ToolRun r =
        run({"--convert", "--format", "wav", "--same-folder", a, dir.filePath("noise.mp3")});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    ASSERT_EQ(r.lines.size(), 2);
    EXPECT_EQ(r.lines[0].split('\t').value(4), dir.filePath("song_Converted.wav"));
    EXPECT_EQ(r.lines[1].split('\t').value(1), QStringLiteral("Codec Not Supported"));
    EXPECT_EQ(r.lines[1].split('\t').value(4), QString());
    QFile kept(dir.filePath("song.wav"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("already here"));
}

TEST_F(ToolConvert, FailuresGiveExitStatusOne) {
    const QString a = flac("a.flac", 1.0);
    // A folder whose parent is missing cannot be made: the row is not converted.
    ToolRun r = run({"--convert", "--format", "wav", "--out", dir.filePath("no/such/out"), a});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.lines.value(0).split('\t').value(1), QStringLiteral("Waiting Conversion"));
    EXPECT_TRUE(r.err.contains("cannot be created"));
    // A path that is refused.
    r = run({"--convert", "--format", "wav", "--out", dir.filePath("o"), a, dir.filePath("x.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.lines.value(0).split('\t').value(1), QStringLiteral("Complete"));
}

TEST_F(ToolConvert, BadUsageGivesExitStatusTwo) {
    const QString a = flac("a.flac", 0.5);
    EXPECT_EQ(run({"--format", "wav", a}).exitCode, 2);
    EXPECT_EQ(run({"--convert", "--format", "flac", a}).exitCode, 2);
    EXPECT_EQ(run({"--convert", "--out"}).exitCode, 2);
    EXPECT_EQ(run({"--convert", "--out", dir.path(), "--same-folder", a}).exitCode, 2);
    const ToolRun unavailable = run({"--convert", "--format", "mp3", a});
    EXPECT_EQ(unavailable.exitCode, 2);
    EXPECT_TRUE(unavailable.err.contains("not available"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("a.mp3")));
}

TEST_F(ToolConvert, OptionsNotGivenComeFromTheSavedSettings) {
    const QString a = flac("saved.flac", 0.5);
    saveSetting("optFileFormat", "0");
    saveSetting("optOtherFolder", "True");
    saveSetting("optSameFolder", "False");
    saveSetting("txtOutPath", dir.filePath("from-settings"));
    ToolRun r = run({"--convert", a});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("from-settings/saved.wav")));

    saveSetting("optSameFolder", "True");
    saveSetting("optOtherFolder", "False");
    r = run({"--convert", a});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("saved.wav")));
    // A format given on the command line wins over the saved one.
    saveSetting("optFileFormat", "2");
    EXPECT_EQ(run({"--convert", a}).exitCode, 2);
    EXPECT_EQ(run({"--convert", "--format", "wav", a}).exitCode, 0);
}

TEST_F(ToolConvert, InterruptStopsAfterTheCurrentBlockAndKeepsAValidFile) {
    const QString shortOne = flac("1.flac", 0.5, 8000, 1);
    const QString longOne = flac("2.flac", 1800.0, 8000, 1);
    const QString later = flac("3.flac", 0.5, 8000, 1);
    QProcess p;
    start(p,
          {"--convert", "--format", "wav", "--out", dir.filePath("o"), shortOne, longOne, later});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray err;
    // Once the first file is reported, the second one is under way.
    while (!err.contains("1.flac: Complete") && p.state() == QProcess::Running) {
        p.waitForReadyRead(100);
        err += p.readAllStandardError();
    }
    ::kill(static_cast<pid_t>(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(60000));
    const QStringList lines =
        QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1].split('\t').value(1), QStringLiteral("Cancelled"));
    EXPECT_EQ(lines[2].split('\t').value(1), QStringLiteral("Waiting Conversion"));
    const auto cut = FfprobeAudio(dir.filePath("o/2.wav"));
    ASSERT_TRUE(cut);
    EXPECT_GT(cut->duration, 0.0);
    EXPECT_LT(cut->duration, 1800.0);
}

TEST_F(ToolConvert, SetOverridesASavedValueForOneRunOnly) {
    const QString a = flac("set.flac", 0.5);
    const QString file = home.filePath("config/Kelvanto/Settings.ini");
    saveSetting("optFileFormat", "2");
    saveSetting("optSameFolder", "True");
    const StoredValues before = StoredOutputSettings(file);
    const struct {
        QStringList args;
        const char* message; // nullptr: converted into out/
    } cases[] = {
        {{"--convert", "--set", "nosuch=1"}, "\"nosuch\""},
        {{"--convert", "--set", "sliderOGG=11"}, "sliderOGG cannot be \"11\""},
        {{"--convert", "--set", "optFileFormat"}, "NAME=VALUE"},
        {{"--set", "optFileFormat=0"}, "go with --convert"},
        {{"--convert", "--set", "OPTFILEFORMAT=0", "--set", "optotherfolder=1", "--set",
          "txtOutPath=" + dir.filePath("out")},
         nullptr},
    };
    for (const auto& c : cases) {
        const ToolRun r = run(c.args + QStringList{a});
        if (!c.message) {
            EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
            EXPECT_TRUE(QFileInfo::exists(dir.filePath("out/set.wav")));
            continue;
        }
        EXPECT_EQ(r.exitCode, 2) << c.message;
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_TRUE(r.lines.isEmpty());
    }
    // Nothing was saved, and only the last run wrote a file.
    EXPECT_EQ(StoredOutputSettings(file), before);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("set.wav")));
    EXPECT_TRUE(
        run({"--help"}).lines.contains(QString("  sliderOGG=3").leftJustified(32) + "-2 to 10"));
}

TEST_F(ToolConvert, WmaWithTagsGivenOnTheCommandLine) {
    const QString a = flac("a.flac", 1.0);
    EXPECT_EQ(run({"--convert", "--format", "wma", "--set", "sliderWMA=0", "--wma-tag",
                   "title=Hello, World", "--wma-tag", "wm/year=2024", "--out", dir.path(), a})
                  .exitCode,
              0);
    const ProcessResult probe = RunTool("ffprobe", {"-v", "error", "-show_entries",
                                                    "stream=codec_name,bit_rate:format_tags", "-of",
                                                    "compact", dir.filePath("a.wma")});
    const QString text = QString::fromUtf8(probe.out);
    for (const char* field :
         {"codec_name=wmav2|bit_rate=48000", "tag:title=Hello, World|", "tag:WM/Year=2024|"})
        EXPECT_TRUE(text.contains(field)) << text.toStdString();
    EXPECT_FALSE(text.contains("tag:artist"));
    for (const QStringList& bad : {QStringList{"--convert", "--wma-tag", "Composer=x", a},
                                   {"--convert", "--wma-tag", "Title", a},
                                   {"--wma-tag", "Title=x", a},
                                   {"--convert", "--wma-tag"}})
        EXPECT_EQ(run(bad).exitCode, 2) << bad.join(' ').toStdString();
}
