#pragma once

#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QWidget;

namespace kv {

// Closes the window through its own close sequence when the system ends the program: SIGTERM,
// SIGINT or SIGHUP, the desktop session ending, or the application quitting with the window
// still open. The signal handler only writes to a pipe; the close runs in the event loop once
// the window is up (a signal during start-up waits for it). After one signal, a second one
// ends the program at once. One instance per process.
class ExternalClose : public QObject {
    Q_OBJECT
public:
    explicit ExternalClose(QWidget* window, QObject* parent = nullptr);
    ~ExternalClose() override;

    // The window has loaded: signals are served from now on.
    void arm();

    // The signal that asked for the close, 0 while none did.
    int receivedSignal() const { return received_; }

private:
    void onSignal();
    void closeWindow();

    QPointer<QWidget> window_;
    QSocketNotifier* notifier_ = nullptr;
    int received_ = 0;
};

} // namespace kv
