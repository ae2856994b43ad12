#pragma once

#include "ui/MessageBox.h"

#include <QApplication>
#include <QStandardPaths>

// Without a sound server start-up reports the device; the benchmarks need no device, and a
// box would wait for a person.
class NoBoxes final : public kv::MessageBoxes {
public:
    NoBoxes() { kv::SetMessageBoxes(this); }
    ~NoBoxes() override { kv::SetMessageBoxes(nullptr); }
    kv::MsgResult show(QWidget*, const kv::MessageRequest&) override { return kv::MsgResult::Ok; }
};

// A benchmark of the real window: settings in test mode (never the user's), offscreen unless
// a platform is asked for, and no box waiting for a person.
class WindowBench {
public:
    WindowBench(int& argc, char** argv) : app_((prepare(), argc), argv) {}

private:
    static void prepare() {
        QStandardPaths::setTestModeEnabled(true);
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app_;
    NoBoxes boxes_;
};

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

// The event loop's longest stall: a 1 ms timer on the calling thread, and the widest gap
// between two of its ticks.
class StallMeter {
public:
    StallMeter() {
        tick_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            worst_ = std::max(worst_, now - last_);
            last_ = now;
        });
    }
    void start() {
        last_ = worst_ = 0;
        clock_.start();
        tick_.start(1);
    }
    void stop() { tick_.stop(); }
    qint64 elapsedNs() const { return clock_.nsecsElapsed(); }
    qint64 worstNs() const { return worst_; }

private:
    QElapsedTimer clock_;
    QTimer tick_;
    qint64 last_ = 0, worst_ = 0;
};
