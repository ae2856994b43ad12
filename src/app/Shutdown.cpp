#include "app/Shutdown.h"

#include <QDBusMessage>

namespace kv {
namespace {
const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

PowerRequests*& installed() {
    static PowerRequests* power = nullptr;
    return power;
}
} // namespace

LogindPowerRequests::LogindPowerRequests(QDBusConnection bus) : bus_(std::move(bus)) {}

void LogindPowerRequests::callManager(const QString& method, const QVariantList& args) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kManager, method);
    m.setArguments(args);
    // Not interactive: no authentication prompt; no reply awaited, failures stay silent.
    m.setInteractiveAuthorizationAllowed(false);
    bus_.send(m);
}

void LogindPowerRequests::logOff() {
    // "auto" names the caller's own session when the environment does not.
    QString session = qEnvironmentVariable("XDG_SESSION_ID");
    if (session.isEmpty())
        session = QStringLiteral("auto");
    callManager(QStringLiteral("TerminateSession"), {session});
}

void LogindPowerRequests::powerOff() {
    callManager(QStringLiteral("PowerOff"), {false});
}

void LogindPowerRequests::reboot() {
    callManager(QStringLiteral("Reboot"), {false});
}

void ShutdownWindows(int kind, PowerRequests& power) {
    switch (kind) {
    case 0:
        power.logOff();
        break;
    // A shut-down that leaves the machine on serves nobody on a desktop: both power off.
    case 1:
    case 8:
        power.powerOff();
        break;
    case 2:
        power.reboot();
        break;
    default:
        break;
    }
}

void ShutdownWindows(int kind) {
    if (installed()) {
        ShutdownWindows(kind, *installed());
        return;
    }
    LogindPowerRequests logind;
    ShutdownWindows(kind, logind);
}

void SetPowerRequests(PowerRequests* power) {
    installed() = power;
}

} // namespace kv
