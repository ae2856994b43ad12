// kelvanto-batch --convert from the outside: outputs checked with ffprobe, exit codes, options
// from the saved settings, and Ctrl+C.
#include "MediaTools.h"
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <tuple>

using namespace kvtest;

namespace {
using ToolRun = ProgramRun;

class ToolConvert : public ::testing::Test {
protected:
    // The tool reads the settings of this private home, never the user's.
    void start(QProcess& p, const QStringList& args, std::function<void()> inChild = {}) {
        home.start(p, BatchTool(), args, inChild);
    }
    ToolRun run(const QStringList& args, std::function<void()> inChild = {}) {
        return home.run(BatchTool(), args, inChild);
    }
    QString flac(const QString& name, double seconds, int rate = 44100, int channels = 2) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(MakeSine(path, seconds, rate, channels, {"-c:a", "flac"}));
        return path;
    }
    void saveSetting(const QString& key, const QString& value) {
        StoredValues values = StoredOutputSettings(home.settingsFile());
        values[key] = value;
        StoreOutputSettings(values, home.settingsFile());
    }
    PrivateHome home;
    ByteNameDir dir;
};
} // namespace

TEST_F(ToolConvert, ConvertsIntoTheChosenFolderAndPrintsFinalStatusesAndOutputs) {
    const QString a = flac("a one.flac", 2.0);
    const QString b = flac("-b.flac", 1.0, 22050, 1);
    const QString out = dir.filePath("out");
    const ToolRun r = run({"--convert", "--format=wav", "--out", out, "--", a, b});
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
    // A row left unconverted is a failure to a script.
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(dir.filePath("noise.mp3") + ": not converted: Codec Not Supported"));
    ASSERT_EQ(r.lines.size(), 2);
    EXPECT_EQ(r.lines[0].split('\t').value(4), dir.filePath("song_Converted.wav"));
    EXPECT_EQ(r.lines[1].split('\t').value(1), QStringLiteral("Codec Not Supported"));
    EXPECT_EQ(r.lines[1].split('\t').value(4), QString());
    QFile kept(dir.filePath("song.wav"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("already here"));
}

TEST_F(ToolConvert, RowsNotConvertedExitOneAndSayWhy) {
    const QString a = flac("a.flac", 2.0);
    ASSERT_TRUE(WriteBytes(dir.filePath("afile"), "x"));
    ASSERT_TRUE(QDir().mkpath(dir.filePath("locked")));
    QFile::setPermissions(dir.filePath("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    auto reason = [](const QString& path, int error) {
        return path + ": " + QString::fromLocal8Bit(std::strerror(error));
    };
    // Writes past `bytes` fail, as on a full disk.
    const auto smallFiles = [](rlim_t bytes) -> std::function<void()> {
        return [bytes] {
            struct rlimit limit {};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = bytes;
            setrlimit(RLIMIT_FSIZE, &limit);
            signal(SIGXFSZ, SIG_IGN);
        };
    };
    struct Case {
        QString format;
        QString out;
        QStringList more; // paths after a
        std::function<void()> inChild;
        QString status;
        QString err; // a line of standard error
    };
    const QString missing = dir.filePath("no/such/out");
    const QString created = a + ": Error: Couldn't create the file (";
    const Case cases[] = {
        {"wav",
         missing,
         {},
         {},
         "Waiting Conversion",
         a + ": the output folder cannot be created: " + reason(missing, ENOENT)},
        {"wav",
         dir.filePath("afile"),
         {},
         {},
         "Waiting Conversion",
         a + ": the output folder cannot be created: " + reason(dir.filePath("afile"), ENOTDIR)},
        {"wav",
         dir.filePath("locked"),
         {},
         DropFileOverridesForExec,
         "Error",
         a + ": Error: " + reason(dir.filePath("locked/a.wav"), EACCES)},
        // Every format says why a full disk failed it; oggenc itself exits 0 then.
        {"wav", dir.filePath("full"), {}, smallFiles(100000), "Error",
         a + ": Error: " + reason(dir.filePath("full/a.wav"), EFBIG)},
        {"wma", dir.filePath("full"), {}, smallFiles(8192), "Error",
         a + ": Error: " + reason(dir.filePath("full/a.wma"), EFBIG)},
        {"mp3", dir.filePath("full"), {}, smallFiles(8192), "Error", created + "lame exited"},
        {"ogg", dir.filePath("full"), {}, smallFiles(8192), "Error",
         created + "oggenc could not write all of " + dir.filePath("full/a.ogg")},
        {"wav", dir.filePath("o"), {dir.filePath("x.txt")}, {}, "Complete", "x.txt: refused"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.format + " " + c.out).toStdString());
        const ToolRun r = run(
            QStringList{"--convert", "--format", c.format, "--out", c.out, a} + c.more, c.inChild);
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        const QStringList row = r.lines.value(0).split('\t');
        EXPECT_EQ(row.value(1), c.status);
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
        // No output was left, and the row says so.
        if (c.status != QStringLiteral("Complete")) {
            EXPECT_EQ(row.value(4), QString());
            EXPECT_FALSE(QFileInfo::exists(c.out + "/a." + c.format));
        }
    }
}

TEST_F(ToolConvert, BadUsageGivesExitStatusTwo) {
    const QString a = flac("a.flac", 0.5);
    EXPECT_EQ(run({"--format", "wav", a}).exitCode, 2);
    EXPECT_EQ(run({"--convert", "--format", "wv", a}).exitCode, 2);
    EXPECT_EQ(run({"--convert", "--out"}).exitCode, 2);
    EXPECT_EQ(run({"--convert", "--out", dir.path(), "--same-folder", a}).exitCode, 2);
    EXPECT_EQ(run({"--convert", "--set", "optFileFormat=9", "--same-folder", a}).exitCode, 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.flac"});
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
    EXPECT_EQ(run({"--convert", "--format", "wav", a}).exitCode, 0);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("saved_Converted.wav")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("saved.mp3")));
    EXPECT_EQ(run({"--convert", a}).exitCode, 0);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("saved.mp3")));
}

TEST_F(ToolConvert, FieldsAreEnglishUnlessALanguageIsAsked) {
    const QString a = flac("a.flac", 0.5);
    // The window speaks German.
    QSettings language(home.filePath("config/Kelvanto/Kelvanto.ini"), QSettings::IniFormat);
    language.setValue("Language/Name", "German.ini");
    language.sync();
    ASSERT_TRUE(WriteBytes(dir.filePath("mine.ini"), "[Kelvanto]\r\n20014=Fertig!\r\n"));
    // And the user's numbers are written the German way.
    home.env.insert("LC_ALL", "de_DE.UTF-8");
    const struct {
        QStringList options;
        QString complete;
    } cases[] = {
        {{}, "Complete"},
        {{"--language", "German.ini"}, "Abgeschlossen"},
        {{"--language", dir.filePath("mine.ini")}, "Fertig!"},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.complete.toStdString());
        const QString out = dir.filePath(QStringLiteral("out%1").arg(n++));
        const ToolRun r = run(QStringList{"--convert", "--format", "wav", "--out", out} +
                              c.options + QStringList{a});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList fields = r.lines.value(0).split('\t');
        EXPECT_EQ(fields.value(1), c.complete);
        EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d\\d? KB$").match(fields.value(3)).hasMatch())
            << fields.value(3).toStdString();
    }
}

TEST_F(ToolConvert, SignalsStopAfterTheCurrentBlockKeepAValidFileAndExit128PlusTheSignal) {
    const QString shortOne = flac("1.flac", 0.5, 8000, 1);
    const QString longOne = flac("2.flac", 1800.0, 8000, 1);
    const QString later = flac("3.flac", 0.5, 8000, 1);
    for (const auto& [signalNumber, exitCode] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        SCOPED_TRACE(exitCode);
        const QString out = dir.filePath(QStringLiteral("o%1").arg(signalNumber));
        QProcess p;
        start(p, {"--convert", "--format", "wav", "--out", out, shortOne, longOne, later});
        ASSERT_TRUE(p.waitForStarted());
        // Once the second file has samples on disk, it is under way.
        const QString cut = out + "/2.wav";
        while (QFileInfo(cut).size() <= 44 && p.state() == QProcess::Running)
            p.waitForFinished(20);
        ::kill(static_cast<pid_t>(p.processId()), signalNumber);
        const ToolRun r = Finished(p, 60000);
        EXPECT_EQ(r.exitCode, exitCode);
        const QStringList& lines = r.lines;
        ASSERT_EQ(lines.size(), 3);
        EXPECT_EQ(lines[0].split('\t').value(1), QStringLiteral("Complete"));
        EXPECT_EQ(lines[1].split('\t').value(1), QStringLiteral("Cancelled"));
        EXPECT_EQ(lines[1].split('\t').value(4), cut);
        EXPECT_EQ(lines[2].split('\t').value(1), QStringLiteral("Waiting Conversion"));
        const auto kept = FfprobeAudio(cut);
        ASSERT_TRUE(kept);
        EXPECT_GT(kept->duration, 0.0);
        EXPECT_LT(kept->duration, 1800.0);
    }
}

// The children of a process that run `name`.
QList<qint64> childrenNamed(qint64 pid, const QByteArray& name) {
    QList<qint64> found;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QByteArray& child : ReadBytes(tasks.filePath(task + "/children")).split(' '))
            if (!child.isEmpty() && ReadBytes("/proc/" + child + "/comm").trimmed() == name)
                found << child.toLongLong();
    return found;
}

TEST_F(ToolConvert, SigtermDuringAThreeJobBatchCancelsAllThreeAndLeavesNoEncoder) {
    const QString clip = flac("clip.flac", 600.0, 22050, 1);
    QStringList sources;
    for (int i = 0; i < 5; ++i) {
        sources << dir.filePath(QStringLiteral("%1.flac").arg(i));
        ASSERT_TRUE(QFile::copy(clip, sources.last()));
    }
    QProcess p;
    start(p,
          QStringList{"--convert", "--format", "mp3", "--jobs", "3", "--out", dir.filePath("o")} +
              sources);
    ASSERT_TRUE(p.waitForStarted());
    // Stopped once three encoders run at once.
    QList<qint64> encoders;
    while (encoders.size() < 3 && p.state() == QProcess::Running) {
        p.waitForFinished(20);
        encoders = childrenNamed(p.processId(), "lame");
    }
    ASSERT_EQ(encoders.size(), 3);
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    const ToolRun r = Finished(p, 60000);
    EXPECT_EQ(r.exitCode, 143);
    const QStringList& lines = r.lines;
    ASSERT_EQ(lines.size(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lines[i].split('\t').value(1),
                  i < 3 ? QStringLiteral("Cancelled") : QStringLiteral("Waiting Conversion"));
    for (const qint64 pid : encoders)
        EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid))) << pid;
    for (int i = 0; i < 3; ++i)
        EXPECT_GT(FfprobeAudio(dir.filePath(QStringLiteral("o/%1.mp3").arg(i)))
                      .value_or(ProbeInfo{})
                      .duration,
                  0.0);
}

TEST_F(ToolConvert, SetOverridesASavedValueForOneRunOnly) {
    const QString a = flac("set.flac", 0.5);
    const QString file = home.settingsFile();
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
        {{"--set", "optFileFormat=0"}, "goes with --convert"},
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

TEST_F(ToolConvert, NamesThatAreNotUtf8ConvertByFolderAndByPath) {
    // Latin-1 names, made and given by their bytes: one in a folder, one on the command line.
    const QString a = flac("a.flac", 1.0);
    const QString b = flac("b.flac", 2.0);
    ASSERT_TRUE(QDir().mkpath(dir.filePath("latin")));
    QFile::copy(a, dir.filePath("latin/a.flac"));
    QFile::copy(b, dir.filePath("b copy.flac"));
    for (const auto& [from, to] : {std::pair{"latin/a.flac", "latin/caf\xE9.flac"},
                                   std::pair{"b copy.flac", "\xE9t\xE9.flac"}})
        ASSERT_EQ(std::rename(QFile::encodeName(dir.filePath(from)).constData(),
                              QFile::encodeName(dir.path()) + "/" + to),
                  0);
    const QString out = dir.filePath("out");
    ToolRun r =
        home.run("sh", {"-c",
                        "exec \"$0\" --convert --format wav --out \"$1\" \"$2\" \"$3/$(printf "
                        "'\\351t\\351.flac')\"",
                        BatchTool(), out, dir.filePath("latin"), dir.path()});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.lines;
    ASSERT_EQ(lines.size(), 2);
    // The outputs' names show the odd byte as U+FFFD; their sound is the sources'.
    for (const auto& [line, src, wav] : {std::tuple{lines[0], a, out + "/caf\uFFFD.wav"},
                                         std::tuple{lines[1], b, out + "/\uFFFDt\uFFFD.wav"}}) {
        SCOPED_TRACE(wav.toStdString());
        EXPECT_EQ(line.split('\t').value(1), QStringLiteral("Complete"));
        EXPECT_EQ(line.split('\t').value(4), wav);
        const auto expected = FfmpegDecode(src, "s16le");
        const auto actual = FfmpegDecode(wav, "s16le");
        ASSERT_TRUE(expected && actual);
        EXPECT_TRUE(*expected == *actual);
    }
    // Beside a source in a folder whose own name is not UTF-8 nothing can be written: the row
    // is left waiting, and no look-alike folder appears.
    ASSERT_EQ(std::rename(QFile::encodeName(dir.filePath("latin")).constData(),
                          (QFile::encodeName(dir.path()) + "/d\xE9").constData()),
              0);
    r = home.run("sh", {"-c",
                        "exec \"$0\" --convert --format wav --same-folder \"$1/$(printf "
                        "'d\\351/caf\\351.flac')\"",
                        BatchTool(), dir.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.split('\t').value(1), QStringLiteral("Waiting Conversion"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("d\uFFFD")));
}

TEST_F(ToolConvert, WmaWithTagsGivenOnTheCommandLine) {
    const QString a = flac("a.flac", 1.0);
    EXPECT_EQ(run({"--convert", "--format", "wma", "--set", "sliderWMA=0", "--wma-tag",
                   "title=Hello, World", "--wma-tag", "wm/year=2024", "--out", dir.path(), a})
                  .exitCode,
              0);
    const QStringList fields =
        FfprobeLines(dir.filePath("a.wma"), "stream=codec_name,bit_rate:format_tags");
    for (const char* field :
         {"codec_name=wmav2", "bit_rate=48000", "TAG:title=Hello, World", "TAG:WM/Year=2024"})
        EXPECT_TRUE(fields.contains(field)) << fields.join('|').toStdString();
    EXPECT_TRUE(fields.filter("TAG:artist").isEmpty());
    for (const QStringList& bad : {QStringList{"--convert", "--wma-tag", "Composer=x", a},
                                   {"--convert", "--wma-tag", "Title", a},
                                   {"--wma-tag", "Title=x", a},
                                   {"--convert", "--wma-tag"}})
        EXPECT_EQ(run(bad).exitCode, 2) << bad.join(' ').toStdString();
}

// SIGHUP, a second signal and SIGTERM stop the run as a Stop does; after SIGKILL the encoder
// dies with the tool, what is left is a shorter file that plays or nothing, and the next run
// names its output beside it. The encoder is held stopped mid-file, so the run waits for it
// (WAV and WMA are written by the tool itself, which is held stopped instead); an encoder left
// behind comes to us, so its group is not orphaned (which would end a stopped one).
TEST_F(ToolConvert, HangupASecondSignalOrAKillNeverLeaveAnEncoderWritingOn) {
    const QString longOne = flac("long.flac", 1800.0, 8000, 1);
    const QString later = flac("later.flac", 0.5, 8000, 1);
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const std::shared_ptr<void> restore(nullptr, [](void*) { ::prctl(PR_SET_CHILD_SUBREAPER, 0); });
    const struct {
        std::vector<int> signalNumbers;
        int exitCode; // -1: killed
        QString format;
        QByteArray encoder;
    } cases[] = {{{SIGHUP}, 129, "mp3", "lame"},
                 {{SIGHUP}, 129, "ogg", "oggenc"},
                 {{SIGINT, SIGINT}, 130, "mp3", "lame"},
                 {{SIGINT, SIGINT}, 130, "ogg", "oggenc"},
                 {{SIGTERM}, 143, "mp3", "lame"},
                 {{SIGTERM, SIGHUP}, 143, "ogg", "oggenc"},
                 {{SIGKILL}, -1, "mp3", "lame"},
                 {{SIGKILL}, -1, "ogg", "oggenc"},
                 {{SIGKILL}, -1, "wav", ""},
                 {{SIGKILL}, -1, "wma", ""}};
    const QString again = dir.filePath("again/long.flac"); // another source of the same name
    ASSERT_TRUE(QDir().mkpath(dir.filePath("again")) && QFile::copy(later, again));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.format.toStdString() << " " << c.exitCode);
        const QString out = dir.filePath(c.format + QString::number(c.exitCode));
        const QString output = out + "/long." + c.format;
        QProcess p;
        start(p, {"--convert", "--format", c.format, "--out", out, longOne, later});
        // Under way: written past any header.
        QList<qint64> encoder;
        while ((encoder.isEmpty() || QFileInfo(output).size() < 16384) && !p.waitForFinished(20) &&
               p.state() == QProcess::Running)
            encoder = c.encoder.isEmpty() ? QList<qint64>{p.processId()}
                                          : childrenNamed(p.processId(), c.encoder);
        ASSERT_EQ(encoder.size(), 1);
        const pid_t pid = static_cast<pid_t>(encoder[0]);
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        ::kill(pid, SIGSTOP);
        const auto pending = [&p](int s) { // not yet taken by a thread of the tool
            const QByteArray status = ReadBytes(QString("/proc/%1/status").arg(p.processId()));
            const qsizetype at = status.indexOf("ShdPnd:") + 7;
            const QByteArray mask = status.mid(at, status.indexOf('\n', at) - at).trimmed();
            return (mask.toULongLong(nullptr, 16) >> (s - 1)) & 1;
        };
        for (const int s : c.signalNumbers) {
            ::kill(static_cast<pid_t>(p.processId()), s);
            while (s != SIGKILL && p.state() == QProcess::Running && pending(s))
                p.waitForFinished(2);
        }
        if (c.exitCode > 0)
            ::kill(pid, SIGCONT);
        ASSERT_TRUE(p.state() == QProcess::NotRunning || p.waitForFinished(60000));
        pollfd ended{pidfd, POLLIN, 0};
        EXPECT_EQ(::poll(&ended, 1, 10000), 1);
        ::close(pidfd);
        if (c.exitCode < 0) {
            if (!c.encoder.isEmpty())
                ::kill(pid, SIGKILL), ::waitpid(pid, nullptr, 0);
            EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);
            EXPECT_FALSE(p.readAllStandardError().contains("long.flac:")) << "ended mid-file";
            const bool left = QFileInfo::exists(output);
            if (left) {
                // sox believes a WAV header's sizes, where ffprobe reads on to the end.
                const double seconds =
                    c.format == "wav"
                        ? RunTool("sox", {"--i", "-D", output}).out.trimmed().toDouble()
                        : FfprobeAudio(output).value_or(ProbeInfo{}).duration;
                EXPECT_TRUE(seconds > 0 && seconds < 1800) << seconds;
                const auto decoded = FfmpegDecode(output, "s16le");
                EXPECT_TRUE(decoded && !decoded->isEmpty());
            }
            const ToolRun next = run({"--convert", "--format", c.format, "--out", out, again});
            EXPECT_EQ(next.exitCode, 0) << next.err.toStdString();
            const QString named = out + (left ? "/long_Converted." : "/long.") + c.format;
            EXPECT_EQ(next.lines.value(0).section('\t', 4, 4), named);
            const QStringList inFolder =
                QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            EXPECT_EQ(inFolder.size(), left ? 2 : 1) << inFolder.join(' ').toStdString();
            continue;
        }
        EXPECT_EQ(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, c.exitCode);
        // Every row's final status; the file cut short is Cancelled (and shorter), or gone.
        const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
        EXPECT_EQ(lines.value(1).section('\t', 1, 1), QStringLiteral("Waiting Conversion"));
        const QString status = lines.value(0).section('\t', 1, 1);
        const double seconds = FfprobeAudio(output).value_or(ProbeInfo{}).duration;
        EXPECT_TRUE(status == "Cancelled" ? seconds > 0 && seconds < 1800
                                          : status == "Error" && !QFileInfo::exists(output))
            << status.toStdString();
    }
}

namespace {
// A printed text read back into the bytes it stands for: \\, \t, \n, \r, \e and \xHH.
QByteArray unescaped(const QString& text) {
    const QByteArray in = text.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i] == '\\' && i + 1 < in.size() ? in[++i] : 0;
        if (c == 'x')
            out += static_cast<char>(in.mid(i + 1, 2).toUInt(nullptr, 16)), i += 2;
        else
            out += c == 0     ? in[i]
                   : c == 't' ? '\t'
                   : c == 'n' ? '\n'
                   : c == 'r' ? '\r'
                   : c == 'e' ? '\x1b'
                              : c;
    }
    return out;
}

// A control character other than the line and field separators, C1 ones in UTF-8 included.
bool hasControl(const QByteArray& bytes, char separator) {
    return bytes.contains("\xc2\x9b") || std::any_of(bytes.begin(), bytes.end(), [&](char c) {
               return (static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != separator) ||
                      c == 0x7F;
           });
}
} // namespace

TEST_F(ToolConvert, HostileNamesArePrintedEscapedAndReadBackToTheExactPath) {
    // By their bytes: a terminal title, a forged line, backslashes, bytes that are not UTF-8,
    // a C1 control in UTF-8 and a tab.
    const QByteArray names[] = {"title\x1b]2;pwned\x07.flac", "f: Complete -> x\nz.flac",
                                "back\\slash\\n.flac", "caf\xe9\x9b.flac",
                                "c1\xc2\x9b"
                                "31m\ttab.flac"};
    const QString clip = flac("clip.flac", 0.5, 8000, 1);
    const QByteArray folder = QFile::encodeName(dir.filePath("names"));
    QSet<QByteArray> sources;
    for (const QByteArray& name : names) {
        sources << folder + "/" + name;
        ASSERT_TRUE(QDir().mkpath(dir.filePath("names")) && QFile::copy(clip, dir.filePath("n")));
        ASSERT_EQ(::rename(QFile::encodeName(dir.filePath("n")).constData(),
                           (folder + "/" + name).constData()),
                  0);
    }
    const QString programLog = KV_PROGRAM_DIR " Errors.log";
    const qint64 logBefore = QFileInfo(programLog).size();
    // WAV: every row Complete. MP3 with no lame to be found: every row Error, logged.
    for (const QString format : {"wav", "mp3"}) {
        SCOPED_TRACE(format.toStdString());
        QProcess p;
        home.env.insert("PATH",
                        format == "mp3" ? QString("/nonexistent") : qEnvironmentVariable("PATH"));
        start(p, {"--convert", "--format", format, "--out", dir.filePath(format),
                  dir.filePath("names")});
        ASSERT_TRUE(p.waitForFinished(120000));
        const QByteArray out = p.readAllStandardOutput(), err = p.readAllStandardError();
        EXPECT_FALSE(hasControl(out, '\t') || hasControl(err, '\n')) << err.toStdString();
        QSet<QByteArray> printed;
        for (const QString& line : QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split('\t');
            printed << unescaped(fields[0]);
            EXPECT_EQ(fields.size(), 5);
            EXPECT_TRUE(format == "mp3"
                            ? fields.value(1) == "Error"
                            : ::access(unescaped(fields.value(4)).constData(), F_OK) == 0)
                << line.toStdString();
        }
        EXPECT_EQ(printed, sources);
        // On standard error, a line per file that splits into the source and what came of it.
        const QString mark = format == "wav" ? ": Complete -> " : ": Error: ";
        QSet<QByteArray> said;
        for (const QString& line : QString::fromUtf8(err).split('\n'))
            for (qsizetype at = line.indexOf(mark); at >= 0; at = line.indexOf(mark, at + 1))
                said << unescaped(line.left(at));
        EXPECT_EQ(said & sources, sources) << err.toStdString();
        EXPECT_EQ(err.count('\n'), qsizetype(std::size(names)));
    }
    // The error log: a line per file, naming it exactly.
    QFile log(programLog);
    QByteArray logged = log.open(QIODevice::ReadOnly) && log.seek(logBefore) ? log.readAll() : "";
    for (QDirIterator it(home.path(), {"Errors.log"}, QDir::Files, QDirIterator::Subdirectories);
         it.hasNext();)
        logged += ReadBytes(it.next());
    QSet<QByteArray> inLog;
    for (const QByteArray& line : logged.split('\n')) {
        if (line.contains(QFile::encodeName(dir.path()))) {
            EXPECT_TRUE(line.endsWith('\r') && !hasControl(line.chopped(1), '\n'));
            const qsizetype at = line.indexOf("play/convert: ") + 14;
            inLog << unescaped(QString::fromUtf8(line.mid(at).chopped(1)));
        }
    }
    EXPECT_EQ(inLog, sources);
}
