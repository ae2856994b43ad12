#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace kv {

// Turns SIGINT/SIGTERM into a call on the event loop, so the program can stop the way its
// own Stop does. One watch per process. The first signal is handled; the handler then goes
// back to the default, so a second Ctrl+C ends the program at once.
class SignalWatch {
public:
    SignalWatch(std::initializer_list<int> signalNumbers, std::function<void(int)> onSignal);
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // The first signal received so far, 0 for none; safe to poll outside the event loop.
    static int Received();

private:
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void(int)> onSignal_;
    std::vector<int> signals_;
};

} // namespace kv
