#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class QWidget;

namespace kv {

class SignalWatch;

// Closes the window through its own close sequence when the system ends the program: SIGTERM,
// SIGINT or SIGHUP, the desktop session ending, or the application quitting with the window
// still open. A signal during start-up waits for the window, unless a start-up box holds the
// program, which then ends as the signal always would. After one signal, a second one ends the
// program at once. One instance per process.
class ExternalClose : public QObject {
    Q_OBJECT
public:
    explicit ExternalClose(QWidget* window, QObject* parent = nullptr);
    ~ExternalClose() override;

    // The window has loaded: signals are served from now on.
    void arm();

    // The signal that asked for the close, 0 while none did.
    int receivedSignal() const;

private:
    void onSignal(int signalNumber);
    void closeWindow();

    QPointer<QWidget> window_;
    std::unique_ptr<SignalWatch> watch_;
    bool armed_ = false;
};

} // namespace kv
