// Kelvanto as a desktop program: the menu entry and metainfo as the validators see them, an
// installed tree that runs, and a second launch that hands its paths to the open window.
// Real processes throughout.
#include "MediaTools.h"
#include "TestSupport.h"

#include "app/InstanceChannel.h"
#include "app/frmMain.h"
#include "filelist/AddFile2Grid.h"
#include "filelist/FileAdder.h"
#include "settings/ProgramFolder.h"

#include <QDir>
#include <QDirIterator>
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
const QString kProgram = kvtest::WindowProgram();

QString desktopKey(const QString& file, const QByteArray& key) {
    for (const QByteArray& line : kvtest::ReadBytes(file).split('\n'))
        if (line.startsWith(key + '='))
            return QString::fromUtf8(line.mid(key.size() + 1));
    return {};
}

// A user of their own: settings and runtime folder (where the window's socket is).
struct User : kvtest::PrivateHome {
    QString socket() const { return InstanceChannel::SocketPath(runtime(), config()); }
    void start(QProcess& p, const QString& program, const QStringList& args = {}) const {
        PrivateHome::start(p, program, args);
        p.waitForStarted();
    }
    bool windowAnswers() const {
        return QTest::qWaitFor([&] { return InstanceChannel::HandOver(socket(), {}, 2000); },
                               60000);
    }
};

void stop(QProcess& p) {
    p.terminate();
    if (!p.waitForFinished(30000))
        p.kill();
}

} // namespace

TEST(DesktopFiles, PassTheValidatorsAndClaimWhatTheListAccepts) {
    const QString folder = kBuild + QStringLiteral("/data/desktop/") + kAppId;
    const kvtest::ProcessResult entry =
        kvtest::RunTool(QStringLiteral("desktop-file-validate"), {folder + ".desktop"});
    EXPECT_EQ(entry.exitCode, 0) << entry.out.toStdString();
    EXPECT_TRUE(entry.out.isEmpty()) << entry.out.toStdString(); // not even a hint
    const kvtest::ProcessResult meta = kvtest::RunTool(
        QStringLiteral("appstreamcli"),
        {QStringLiteral("validate"), QStringLiteral("--no-net"), folder + ".metainfo.xml"});
    EXPECT_EQ(meta.exitCode, 0) << meta.out.toStdString();
    EXPECT_EQ(desktopKey(folder + ".desktop", "Exec"), QStringLiteral("kelvanto %F"));
    EXPECT_TRUE(desktopKey(folder + ".desktop", "Categories").startsWith("AudioVideo;Audio;"));

    // Exactly the types this machine's MIME database gives a file named with an accepted
    // ending: audio/ogg for ".ogg" is claimed, video/ogg (whose own ".ogv" is refused) is not.
    const QMimeDatabase db;
    const QStringList listed =
        desktopKey(folder + ".desktop", "MimeType").split(';', Qt::SkipEmptyParts);
    QStringList named;
    for (const QString& ext : kAcceptedExtensions.split('.', Qt::SkipEmptyParts)) {
        const QMimeType type =
            db.mimeTypeForFile(QStringLiteral("x.") + ext, QMimeDatabase::MatchExtension);
        if (!type.isDefault() && !named.contains(type.name()))
            named << type.name();
    }
    QStringList claimed = listed;
    claimed.sort();
    named.sort();
    EXPECT_EQ(claimed, named) << named.join(';').toStdString();
}

TEST(InstalledTree, RunsFindsItsLanguagesAndManualAndUninstallsCleanly) {
    // The build folder's record of a real install comes back afterwards, so its uninstall
    // still removes the right files.
    const QString manifest = kBuild + QStringLiteral("/install_manifest.txt");
    const QByteArray realInstall = kvtest::ReadBytes(manifest);
    QTemporaryDir prefix;
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString data = prefix.filePath(QStringLiteral("share/kelvanto"));
    const QString share = prefix.filePath(QStringLiteral("share/"));
    const kvtest::ProcessResult install = kvtest::RunTool(
        QStringLiteral(KV_CMAKE), {QStringLiteral("--install"), kBuild, "--prefix", prefix.path()});
    ASSERT_EQ(install.exitCode, 0) << install.err.toStdString();
    for (const QString& file :
         {bin + "/kelvanto", bin + "/kelvanto-batch", data + "/Lang/Arabic.bmp",
          data + "/Deployment.ini", share + "applications/" + kAppId + ".desktop",
          share + "metainfo/" + kAppId + ".metainfo.xml",
          share + "icons/hicolor/scalable/apps/" + kAppId + ".svg"})
        EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        EXPECT_EQ(
            QImage(share + QStringLiteral("icons/hicolor/%1x%1/apps/").arg(size) + kAppId + ".png")
                .size(),
            QSize(size, size));
    // The manual of the installed program folder, with its six pictures.
    EXPECT_EQ(ProgramFolderFor(bin), data);
    const QString manual = data + QStringLiteral("/Help/index.html");
    const QString html = QString::fromUtf8(kvtest::ReadBytes(manual));
    int pictures = 0;
    for (const auto& m :
         QRegularExpression(QStringLiteral("<img src=\"([^\"]+)\"")).globalMatch(html))
        pictures += !QImage(data + QStringLiteral("/Help/") + m.captured(1)).isNull();
    EXPECT_EQ(pictures, 6);
    // Every link inside the manual leads to a place in it.
    for (const auto& m : QRegularExpression(QStringLiteral("href=\"#([^\"]+)\"")).globalMatch(html))
        EXPECT_TRUE(html.contains(QStringLiteral("id=\"%1\"").arg(m.captured(1))))
            << m.captured(1).toStdString();

    // The installed program finds its languages: a stored choice that names no file becomes
    // the first language file of the installed folder.
    User user;
    QSettings choice(user.config() + QStringLiteral("/Kelvanto/Kelvanto.ini"),
                     QSettings::IniFormat);
    choice.setValue(QStringLiteral("Language/Name"), QStringLiteral("Klingon.ini"));
    choice.sync();
    QProcess program;
    user.start(program, bin + QStringLiteral("/kelvanto"));
    EXPECT_TRUE(user.windowAnswers());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            choice.sync();
            return choice.value(QStringLiteral("Language/Name")) == QStringLiteral("Arabic.ini");
        },
        30000));
    stop(program);

    // The README's uninstall leaves no file behind.
    const kvtest::ProcessResult removal = kvtest::RunTool(
        QStringLiteral(KV_CMAKE), {QStringLiteral("--build"), kBuild, "--target", "uninstall"});
    EXPECT_EQ(removal.exitCode, 0) << removal.err.toStdString();
    QDirIterator left(prefix.path(), QDir::Files, QDirIterator::Subdirectories);
    EXPECT_FALSE(left.hasNext()) << left.next().toStdString();
    EXPECT_FALSE(QFileInfo::exists(data));
    QFile::remove(manifest);
    if (!realInstall.isEmpty())
        kvtest::WriteBytes(manifest, realInstall);
}

TEST(SecondLaunch, HandsItsPathsToTheOpenWindowWhichAddsThemAsAddFolderDoes) {
    kvtest::ProgramFolderFixture fx;
    kvtest::RecordingMessageBoxes boxes;
    User user;
    QTemporaryDir music;
    for (const char* name : {"b.wav", "album/1.wav", "album/2.flac", "album/sub/3.wav", "c.mp3"})
        ASSERT_TRUE(kvtest::MakeSine(music.filePath(QString::fromUtf8(name)), 1, 8000, 1, {}));
    ASSERT_TRUE(kvtest::WriteBytes(music.filePath(QStringLiteral("album/notes.txt")), "la"));
    ASSERT_TRUE(kvtest::WriteBytes(music.filePath(QStringLiteral("song.wv")), "OggS"));

    // This process is the open window, listening where the user's next launch looks.
    InstanceChannel channel(user.socket());
    ASSERT_FALSE(channel.HandOverOrListen({}));
    ASSERT_TRUE(channel.isListening());
    frmMain w;
    ASSERT_TRUE(w.load());
    QObject::connect(&channel, &InstanceChannel::pathsReceived, &w, &frmMain::AcceptHandOver);
    channel.Open();

    // A relative path, a folder (its files, not its subfolder), a file address and a file the
    // list refuses.
    QProcess second;
    second.setWorkingDirectory(music.path());
    user.start(second, kProgram,
               {QStringLiteral("b.wav"), QStringLiteral("album"),
                QUrl::fromLocalFile(music.filePath(QStringLiteral("c.mp3"))).toString(),
                QStringLiteral("song.wv")});
    QStringList rows;
    const QStringList expected = {music.filePath("b.wav"), music.filePath("album/1.wav"),
                                  music.filePath("album/2.flac"), music.filePath("c.mp3")};
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            rows = kvtest::RowPaths(*w.fileList());
            return second.state() == QProcess::NotRunning && !w.fileAdder()->isBusy() &&
                   rows.size() >= expected.size();
        },
        60000));
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    // The text file and the Opus file are named in Add Folder's one summary warning.
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(
        boxes.shown[0].text,
        QStringLiteral("Some files are not supported or already exist and will not be added"));
}

TEST(SecondLaunch, DuringAStartThatFailsIsTurnedAwayAloud) {
    User user;
    const QString tone = user.filePath(QStringLiteral("tone.wav"));
    // Without a sound server the first launch's engine start fails; its box holds it.
    QProcess first, second;
    user.env.insert(QStringLiteral("PULSE_SERVER"),
                    QStringLiteral("unix:") + user.filePath(QStringLiteral("no-server")));
    user.start(first, kProgram);
    user.env.remove(QStringLiteral("PULSE_SERVER"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(user.socket()); }, 60000));
    user.start(second, kProgram, {tone});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(second.readAllStandardError()).contains(tone));
    EXPECT_EQ(first.state(), QProcess::Running); // its box is still up
    first.kill();
    first.waitForFinished(10000);
}

TEST(SecondLaunch, OneRealWindowPerUserEvenWhenStartedTogetherOrAfterACrash) {
    User user, other;
    QProcess a, b, theirs, next;
    user.start(a, kProgram);
    user.start(b, kProgram);
    // Of two launches at once, one hands over and ends; the other is the window.
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.state() != b.state(); }, 60000));
    QProcess& ended = a.state() == QProcess::NotRunning ? a : b;
    QProcess& window = &ended == &a ? b : a;
    EXPECT_EQ(ended.exitCode(), 0);
    EXPECT_TRUE(user.windowAnswers());
    // Other settings, another window.
    other.start(theirs, kProgram);
    EXPECT_TRUE(other.windowAnswers());
    EXPECT_EQ(theirs.state(), QProcess::Running);
    stop(theirs);
    // A window that died without closing its socket does not keep the next one out.
    ::kill(static_cast<pid_t>(window.processId()), SIGKILL);
    window.waitForFinished(10000);
    ASSERT_TRUE(QFileInfo::exists(user.socket()));
    user.start(next, kProgram);
    EXPECT_TRUE(user.windowAnswers());
    EXPECT_EQ(next.state(), QProcess::Running);
    stop(next);
}
