#include "app/SignalWatch.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kv {
namespace {
std::atomic<int> firstSignal{0};
int wakeFds[2] = {-1, -1};

extern "C" void onSignalReceived(int signalNumber) {
    const int saved = errno;
    int none = 0;
    firstSignal.compare_exchange_strong(none, signalNumber);
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[1], &byte, 1);
    errno = saved;
}
} // namespace

SignalWatch::SignalWatch(std::initializer_list<int> signalNumbers,
                         std::function<void(int)> onSignal, Repeat repeat)
    : onSignal_(std::move(onSignal)), signals_(signalNumbers) {
    if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(wakeFds[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
        unsigned char byte = 0;
        while (::read(wakeFds[0], &byte, 1) == 1) {
            if (onSignal_)
                onSignal_(byte);
        }
    });
    sigset_t set;
    sigemptyset(&set);
    for (int signalNumber : signalNumbers) {
        struct sigaction action {};
        action.sa_handler = onSignalReceived;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART | (repeat == Repeat::EndsProgram ? SA_RESETHAND : 0);
        ::sigaction(signalNumber, &action, nullptr);
        sigaddset(&set, signalNumber);
    }
    // A signal that came while it was blocked (a parent may start us so) arrives now.
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

SignalWatch::~SignalWatch() {
    // No handler may write into the pipe once its numbers can be reused.
    for (int signalNumber : signals_)
        ::signal(signalNumber, SIG_DFL);
    notifier_.reset();
    if (wakeFds[0] >= 0) {
        ::close(wakeFds[0]);
        ::close(wakeFds[1]);
        wakeFds[0] = wakeFds[1] = -1;
    }
}

int SignalWatch::Received() {
    return firstSignal.load();
}

} // namespace kv
