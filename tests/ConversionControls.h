#pragma once

#include "convert/BatchDriver.h"

#include <functional>

namespace kvtest {

// A converter's batch side for tests: counts the progress reports, keeps the last percentage,
// runs `onFirst` at the first report (a fault made while the file is in hand) and asks to stop
// once `stopAfter` reports have come (never when negative). Keeps the reason of a failure.
class CountingControl final : public kv::ConversionControl {
public:
    explicit CountingControl(int stopAfterReports = -1) : stopAfter(stopAfterReports) {}
    bool stopRequested() const override { return stopAfter >= 0 && reports >= stopAfter; }
    void progress(double percent) override {
        last = percent;
        if (++reports == 1 && onFirst)
            onFirst();
    }
    void reportError(const QString& reason) override { error = reason; }
    int reports = 0;
    double last = -1;
    QString error; // the last reason given for a failure
    int stopAfter = -1;
    std::function<void()> onFirst;
};

} // namespace kvtest
