// The window program: no command-line options of its own.
#include "app/ExternalClose.h"
#include "app/frmMain.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvanto"));
    QApplication::setOrganizationName(QStringLiteral("Kelvanto"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(KV_VERSION_MAJOR)
                                            .arg(KV_VERSION_MINOR)
                                            .arg(KV_VERSION_REVISION));
    kv::frmMain window;
    // Ending by a signal or with the desktop session saves the settings like the Close button.
    kv::ExternalClose externalClose(&window);
    if (!window.load())
        return 1;
    window.show();
    externalClose.arm();
    return QApplication::exec();
}
