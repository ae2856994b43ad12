// The window program: no command-line options of its own.
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
    if (!window.load())
        return 1;
    window.show();
    return QApplication::exec();
}
