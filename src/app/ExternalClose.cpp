#include "app/ExternalClose.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kv {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int pipeFds[2] = {-1, -1};

extern "C" void onCloseSignal(int signo) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    // A full pipe already holds a request; nothing more to say.
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

void setHandler(void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &sa, nullptr);
}

} // namespace

ExternalClose::ExternalClose(QWidget* window, QObject* parent) : QObject(parent), window_(window) {
    if (pipeFds[0] < 0 && ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        pipeFds[0] = pipeFds[1] = -1;
    if (pipeFds[0] >= 0) {
        notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
        notifier_->setEnabled(false);
        connect(notifier_, &QSocketNotifier::activated, this, &ExternalClose::onSignal);
        setHandler(onCloseSignal);
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { closeWindow(); });
        connect(app, &QCoreApplication::aboutToQuit, this, &ExternalClose::closeWindow);
    }
}

ExternalClose::~ExternalClose() {
    if (notifier_)
        setHandler(SIG_DFL);
}

void ExternalClose::arm() {
    if (notifier_ && !received_)
        notifier_->setEnabled(true);
}

void ExternalClose::onSignal() {
    unsigned char byte = 0;
    while (::read(pipeFds[0], &byte, 1) == 1)
        received_ = received_ ? received_ : byte;
    // Should the close itself hang, the next signal is not held up.
    setHandler(SIG_DFL);
    notifier_->setEnabled(false);
    closeWindow();
    QCoreApplication::quit();
}

void ExternalClose::closeWindow() {
    if (window_)
        window_->close();
}

} // namespace kv
