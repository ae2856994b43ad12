#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace kv {

// Turns signals such as SIGINT/SIGTERM/SIGHUP into a call on the event loop, so the program
// can stop the way its own Stop does. One watch per process.
class SignalWatch {
public:
    enum class Repeat {
        EndsProgram, // the first signal is handled; a second one acts as if nobody watched
        Handled,     // every signal is handled: nothing ends the program behind our back
    };
    SignalWatch(std::initializer_list<int> signalNumbers, std::function<void(int)> onSignal,
                Repeat repeat = Repeat::EndsProgram);
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
