// The window program. Paths on its command line are added to the list as a drop would add
// them; with a window already running for this user, they go to that window instead.
#include "app/ExternalClose.h"
#include "app/InstanceChannel.h"
#include "app/frmMain.h"
#include "filelist/PathArguments.h"
#include "settings/ProgramFolder.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QIcon>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvanto"));
    QApplication::setOrganizationName(QStringLiteral("Kelvanto"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(KV_VERSION_MAJOR)
                                            .arg(KV_VERSION_MINOR)
                                            .arg(KV_VERSION_REVISION));
    QGuiApplication::setDesktopFileName(QStringLiteral(KV_APP_ID));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts audio files and the soundtracks of video files."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("paths"),
        QStringLiteral("Files to add to the list; a folder adds the files directly inside it, a disc "
                       "(a drive, the folder it is mounted on, a .cue image) its audio tracks."),
        QStringLiteral("[PATH...]"));
    parser.process(app);
    const QStringList paths = kv::AbsolutePaths(parser.positionalArguments(), QDir::currentPath());

    kv::InstanceChannel channel(kv::InstanceChannel::DefaultSocketPath());
    if (channel.HandOverOrListen(paths))
        return 0;
    if (channel.handOverRefused()) {
        // The window that was starting failed and took nothing: say so, never lose the
        // paths quietly.
        std::fprintf(stderr, "kelvanto: the Kelvanto window that was starting could not start");
        std::fprintf(stderr, paths.isEmpty() ? ".\n" : "; these paths were not added:\n");
        for (const QString& path : paths)
            std::fprintf(stderr, "  %s\n", qPrintable(QDir::toNativeSeparators(path)));
        return 1;
    }

    QApplication::setWindowIcon(QIcon::fromTheme(
        QStringLiteral(KV_APP_ID), QIcon(kv::ProgramFolder() + QStringLiteral("/Kelvanto.png"))));
    kv::frmMain window;
    // Ending by a signal or with the desktop session saves the settings like the Close button.
    kv::ExternalClose externalClose(&window);
    // Later launches wait for their answer until the window has loaded: a start that fails
    // turns them away, so no path is taken by a window that never opens.
    QObject::connect(&window, &kv::frmMain::startFailed, &channel, &kv::InstanceChannel::Refuse);
    QObject::connect(&channel, &kv::InstanceChannel::pathsReceived, &window,
                     &kv::frmMain::AcceptHandOver);
    if (!window.load()) {
        channel.Refuse();
        return 1;
    }
    window.show();
    externalClose.arm();
    window.AddPaths(paths);
    channel.Open();
    return QApplication::exec();
}
