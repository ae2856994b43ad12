#pragma once

#include <QDBusConnection>

namespace kv {

// Ways of ending the session after a batch. Requests are forced (no program is asked) and
// their failures are silent.
class PowerRequests {
public:
    virtual ~PowerRequests() = default;
    virtual void logOff() = 0;
    virtual void powerOff() = 0;
    virtual void reboot() = 0;
};

// The requests as systemd-logind takes them, on the system bus unless told otherwise.
class LogindPowerRequests final : public PowerRequests {
public:
    explicit LogindPowerRequests(QDBusConnection bus = QDBusConnection::systemBus());
    void logOff() override;
    void powerOff() override;
    void reboot() override;

private:
    void callManager(const QString& method, const QVariantList& args);
    QDBusConnection bus_;
};

// Kind 0 logs off, 1 shuts down, 2 restarts, 8 powers off; any other kind does nothing.
void ShutdownWindows(int kind, PowerRequests& power);
// The same through the program's own requests (logind unless a test replaced them).
void ShutdownWindows(int kind);
void SetPowerRequests(PowerRequests* power); // nullptr restores logind

} // namespace kv
