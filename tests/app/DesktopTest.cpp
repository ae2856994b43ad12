// Kelvanto as a desktop program: its menu entry and software-centre files as the validators
// see them, an installed tree that runs, paths on the command line, and a second launch that
// hands its paths to the window already open. Real processes throughout.
#include "MediaTools.h"
#include "TestSupport.h"

#include "app/InstanceChannel.h"
#include "app/frmMain.h"
#include "filelist/AddFile2Grid.h"
#include "filelist/FileAdder.h"
#include "filelist/PathArguments.h"
#include "settings/ProgramFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <csignal>

using namespace kv;

namespace {

const QString kAppId = QStringLiteral(KV_APP_ID);
const QString kBuild = QStringLiteral(KV_BUILD_DIR);

QString desktopEntry(const QString& file, const QString& key) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key.toUtf8() + '='))
            return QString::fromUtf8(line.mid(key.size() + 1));
    }
    return {};
}

// A user of their own: home, settings and runtime folder (the socket's place).
struct User {
    QTemporaryDir dir;
    QString runtime() const { return dir.filePath(QStringLiteral("run")); }
    QString config() const { return dir.filePath(QStringLiteral("config")); }
    QString socket() const { return InstanceChannel::SocketPath(runtime(), config()); }
    User() {
        QDir().mkpath(runtime());
        QFile::setPermissions(runtime(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }
    void start(QProcess& p, const QString& program, const QStringList& args,
               const QString& workingFolder = {}) const {
        p.setProcessEnvironment(environment());
        if (!workingFolder.isEmpty())
            p.setWorkingDirectory(workingFolder);
        p.start(program, args);
    }
    // A window of this user listens and answers.
    bool windowAnswers(int ms = 60000) const {
        return QTest::qWaitFor([&] { return InstanceChannel::HandOver(socket(), {}, 2000); }, ms);
    }
};

void stop(QProcess& p) {
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(30000))
        p.kill();
    p.waitForFinished(5000);
}

const QString kProgram = QStringLiteral(KV_PROGRAM_DIR "/kelvanto");

} // namespace

TEST(DesktopFiles, PassTheValidatorsAndClaimWhatTheListAccepts) {
    const QString desktop = kBuild + QStringLiteral("/data/desktop/") + kAppId + ".desktop";
    const QString metainfo = kBuild + QStringLiteral("/data/desktop/") + kAppId + ".metainfo.xml";
    const kvtest::ProcessResult entry =
        kvtest::RunTool(QStringLiteral("desktop-file-validate"), {desktop});
    EXPECT_EQ(entry.exitCode, 0) << entry.out.toStdString() << entry.err.toStdString();
    EXPECT_TRUE(entry.out.isEmpty()) << entry.out.toStdString(); // no hint either
    const kvtest::ProcessResult meta = kvtest::RunTool(
        QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                         QStringLiteral("--pedantic"), metainfo});
    EXPECT_EQ(meta.exitCode, 0) << meta.out.toStdString() << meta.err.toStdString();

    EXPECT_EQ(desktopEntry(desktop, QStringLiteral("Exec")), QStringLiteral("kelvanto %F"));
    const QStringList categories =
        desktopEntry(desktop, QStringLiteral("Categories")).split(';', Qt::SkipEmptyParts);
    EXPECT_TRUE(categories.contains(QStringLiteral("AudioVideo")));
    EXPECT_TRUE(categories.contains(QStringLiteral("Audio")));

    // Every type listed is one whose files the list takes, and every accepted extension that
    // the desktop knows a type for is listed.
    const QMimeDatabase db;
    const QStringList listed =
        desktopEntry(desktop, QStringLiteral("MimeType")).split(';', Qt::SkipEmptyParts);
    ASSERT_FALSE(listed.isEmpty());
    for (const QString& name : listed) {
        const QMimeType type = db.mimeTypeForName(name);
        ASSERT_TRUE(type.isValid()) << name.toStdString();
        bool taken = false;
        for (const QString& suffix : type.suffixes())
            taken = taken || IsAcceptedExtension(suffix);
        EXPECT_TRUE(taken) << name.toStdString() << " has no suffix the list accepts";
    }
    for (const QString& ext : kAcceptedExtensions.split('.', Qt::SkipEmptyParts)) {
        for (const QMimeType& type : db.mimeTypesForFileName(QStringLiteral("x.") + ext)) {
            bool covered = listed.contains(type.name());
            for (const QString& alias : type.aliases())
                covered = covered || listed.contains(alias);
            EXPECT_TRUE(covered) << ext.toStdString() << ": " << type.name().toStdString();
        }
    }
}

// The build folder's record of the last install, put back when the test ends, so installing
// here never spoils the uninstall of a real install from the same build folder.
class KeepInstallManifest {
public:
    KeepInstallManifest() : file_(kBuild + QStringLiteral("/install_manifest.txt")) {
        QFile f(file_);
        had_ = f.open(QIODevice::ReadOnly);
        if (had_)
            bytes_ = f.readAll();
    }
    ~KeepInstallManifest() {
        QFile::remove(file_);
        if (had_)
            kvtest::WriteBytes(file_, bytes_);
    }

private:
    QString file_;
    bool had_ = false;
    QByteArray bytes_;
};

TEST(InstalledTree, RunsFindsItsLanguagesAndManualAndUninstallsCleanly) {
    const KeepInstallManifest keep;
    QTemporaryDir prefix;
    const kvtest::ProcessResult install =
        kvtest::RunTool(QStringLiteral(KV_CMAKE), {QStringLiteral("--install"), kBuild,
                                                   QStringLiteral("--prefix"), prefix.path()});
    ASSERT_EQ(install.exitCode, 0) << install.out.toStdString() << install.err.toStdString();

    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString data = prefix.filePath(QStringLiteral("share/kelvanto"));
    const QString share = prefix.filePath(QStringLiteral("share"));
    for (const QString& file :
         {bin + "/kelvanto", bin + "/kelvanto-batch", data + "/Lang/English.ini",
          data + "/Lang/Arabic.bmp", data + "/Deployment.ini", data + "/Help/index.html",
          share + "/applications/" + kAppId + ".desktop",
          share + "/metainfo/" + kAppId + ".metainfo.xml",
          share + "/icons/hicolor/scalable/apps/" + kAppId + ".svg"})
        EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage icon(share + QStringLiteral("/icons/hicolor/%1x%1/apps/").arg(size) + kAppId +
                          ".png");
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
    }
    // The program folder of the installed executable, and the manual's pictures in it.
    EXPECT_EQ(ProgramFolderFor(bin), QDir::cleanPath(data));
    const QString manual = ProgramFolderFor(bin) + QStringLiteral("/Help/index.html");
    QFile page(manual);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(page.readAll());
    int pictures = 0;
    for (const auto& m :
         QRegularExpression(QStringLiteral("<img src=\"([^\"]+)\"")).globalMatch(html)) {
        EXPECT_FALSE(QImage(QFileInfo(manual).dir().filePath(m.captured(1))).isNull())
            << m.captured(1).toStdString();
        ++pictures;
    }
    EXPECT_EQ(pictures, 3);

    // Started from its prefix, the program finds its languages: a stored choice that names
    // no file becomes the first language file of the installed folder.
    User user;
    QSettings choice(user.config() + QStringLiteral("/Kelvanto/Kelvanto.ini"),
                     QSettings::IniFormat);
    choice.setValue(QStringLiteral("Language/Name"), QStringLiteral("Klingon.ini"));
    choice.sync();
    QProcess program;
    user.start(program, bin + QStringLiteral("/kelvanto"), {});
    ASSERT_TRUE(program.waitForStarted());
    EXPECT_TRUE(user.windowAnswers());
    const QString first =
        QDir(data + "/Lang").entryList({QStringLiteral("*.ini")}, QDir::Files, QDir::Name).value(0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            choice.sync();
            return choice.value(QStringLiteral("Language/Name")).toString() == first;
        },
        30000))
        << choice.value(QStringLiteral("Language/Name")).toString().toStdString();
    EXPECT_EQ(program.state(), QProcess::Running);
    stop(program);

    // The README's uninstall leaves no file of ours behind.
    const kvtest::ProcessResult removal = kvtest::RunTool(
        QStringLiteral(KV_CMAKE), {QStringLiteral("--build"), kBuild, QStringLiteral("--target"),
                                   QStringLiteral("uninstall")});
    EXPECT_EQ(removal.exitCode, 0) << removal.err.toStdString();
    QDirIterator left(prefix.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    EXPECT_FALSE(left.hasNext()) << left.next().toStdString();
    EXPECT_FALSE(QFileInfo::exists(data));
}

TEST(CommandLine, PathsAreMadeAbsoluteAndFoldersGiveTheFilesDirectlyInside) {
    QTemporaryDir dir;
    const QString album = dir.filePath(QStringLiteral("album"));
    for (const char* name : {"album/b.wav", "album/a.mp3", "album/sub/deep.wav", "one.ogg"})
        ASSERT_TRUE(kvtest::WriteBytes(dir.filePath(QString::fromUtf8(name)), "x"));
    struct Case {
        QStringList arguments;
        QStringList absolute;
        QStringList files;
    };
    const QString d = dir.path();
    const std::vector<Case> cases = {
        {{"one.ogg"}, {d + "/one.ogg"}, {d + "/one.ogg"}},
        {{"./album/../one.ogg", ""}, {d + "/one.ogg"}, {d + "/one.ogg"}},
        {{QUrl::fromLocalFile(d + "/one.ogg").toString()}, {d + "/one.ogg"}, {d + "/one.ogg"}},
        {{"album"}, {album}, {album + "/a.mp3", album + "/b.wav"}},
        {{album + "/", "gone.wav"},
         {album, d + "/gone.wav"},
         {album + "/a.mp3", album + "/b.wav", d + "/gone.wav"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const QStringList absolute = AbsolutePaths(c.arguments, d);
        EXPECT_EQ(absolute, c.absolute);
        EXPECT_EQ(FilesOfPaths(absolute), c.files);
    }
}

TEST(SecondLaunch, HandsItsPathsToTheOpenWindowWhichAddsThemAsADrop) {
    kvtest::ProgramFolderFixture fx;
    kvtest::RecordingMessageBoxes boxes;
    User user;
    QTemporaryDir music;
    for (const char* name : {"b.wav", "album/1.wav", "album/2.flac", "album/sub/3.wav", "c.mp3"})
        ASSERT_TRUE(kvtest::MakeSine(music.filePath(QString::fromUtf8(name)), 1, 8000, 1, {}));
    ASSERT_TRUE(kvtest::WriteBytes(music.filePath(QStringLiteral("album/notes.txt")), "la"));

    // This process is the open window, listening where the user's next launch looks.
    InstanceChannel channel(user.socket());
    ASSERT_FALSE(channel.HandOverOrListen({}));
    ASSERT_TRUE(channel.isListening());
    frmMain w;
    ASSERT_TRUE(w.load());
    QObject::connect(&channel, &InstanceChannel::pathsReceived, &w, &frmMain::AcceptHandOver);

    QProcess second;
    user.start(second, kProgram,
               {QStringLiteral("b.wav"), QStringLiteral("album"),
                QUrl::fromLocalFile(music.filePath(QStringLiteral("c.mp3"))).toString()},
               music.path());
    ASSERT_TRUE(second.waitForStarted());
    const QStringList expected = {
        music.filePath(QStringLiteral("b.wav")), music.filePath(QStringLiteral("album/1.wav")),
        music.filePath(QStringLiteral("album/2.flac")), music.filePath(QStringLiteral("c.mp3"))};
    auto rows = [&] {
        QStringList paths;
        for (int i = 0; i < w.fileList()->rowCount(); ++i)
            paths << w.fileList()->row(i).FilePath;
        return paths;
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return second.state() == QProcess::NotRunning && !w.fileAdder()->isBusy() &&
                   rows().size() == expected.size();
        },
        60000))
        << rows().join(' ').toStdString();
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(rows(), expected);
    // Refusals of a drop (the text file) are not reported.
    for (const MessageRequest& box : boxes.shown)
        ADD_FAILURE() << box.text.toStdString();
}

TEST(SecondLaunch, RealWindowsOnePerUserEvenWhenStartedTogetherOrAfterACrash) {
    User user, other;
    // Two launches at once: one window listens, the other hands over and ends.
    QProcess a, b;
    user.start(a, kProgram, {});
    user.start(b, kProgram, {});
    ASSERT_TRUE(a.waitForStarted() && b.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return a.state() == QProcess::NotRunning || b.state() == QProcess::NotRunning; },
        60000));
    QProcess& ended = a.state() == QProcess::NotRunning ? a : b;
    QProcess& window = &ended == &a ? b : a;
    EXPECT_EQ(ended.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ended.exitCode(), 0);
    EXPECT_TRUE(user.windowAnswers());
    EXPECT_EQ(window.state(), QProcess::Running);

    // Another user (here: other settings) gets a window of their own.
    QProcess theirs;
    other.start(theirs, kProgram, {QStringLiteral("/nowhere/x.wav")});
    ASSERT_TRUE(theirs.waitForStarted());
    EXPECT_TRUE(other.windowAnswers());
    EXPECT_EQ(theirs.state(), QProcess::Running);
    stop(theirs);

    // A window that died without closing its socket does not keep the next one out.
    ::kill(static_cast<pid_t>(window.processId()), SIGKILL);
    window.waitForFinished(10000);
    ASSERT_TRUE(QFileInfo::exists(user.socket()));
    QProcess next;
    user.start(next, kProgram, {});
    ASSERT_TRUE(next.waitForStarted());
    EXPECT_TRUE(user.windowAnswers());
    EXPECT_EQ(next.state(), QProcess::Running);
    stop(next);
    stop(ended);
}
