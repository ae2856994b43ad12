// The window program: no command-line options of its own.
#include "app/SignalWatch.h"
#include "app/frmMain.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvanto"));
    QApplication::setOrganizationName(QStringLiteral("Kelvanto"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(KV_VERSION_MAJOR)
                                            .arg(KV_VERSION_MINOR)
                                            .arg(KV_VERSION_REVISION));
    kv::frmMain window;
    // Ctrl+C and SIGTERM (a session ending) close the window as its Close button does, so the
    // close sequence runs. One that comes while a start-up box is open ends the program as the
    // signal always would; one that comes earlier in the start-up is taken once the window is
    // up.
    bool shown = false;
    kv::SignalWatch stop({SIGINT, SIGTERM}, [&](int signalNumber) {
        if (shown) {
            window.close();
        } else if (QApplication::activeModalWidget()) {
            std::signal(signalNumber, SIG_DFL);
            std::raise(signalNumber);
        }
    });
    if (!window.load())
        return 1;
    window.show();
    shown = true;
    if (kv::SignalWatch::Received())
        QMetaObject::invokeMethod(&window, &QWidget::close, Qt::QueuedConnection);
    return QApplication::exec();
}
