#pragma once

#include "convert/BatchDriver.h"

#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

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

// How a row of a batch ended.
struct Ended {
    kv::FileOutcome outcome;
    QString output, error;
};

// Runs `sources` through `driver` as one batch, waiting for its end; the rows as they ended.
inline std::vector<Ended> RunBatch(kv::BatchDriver& driver, const QStringList& sources) {
    std::vector<Ended> ended;
    bool done = false;
    QObject context;
    QObject::connect(&driver, &kv::BatchDriver::fileFinished, &context,
                     [&](kv::FileListRowId, kv::FileOutcome o, const QString& out,
                         const QString& err) { ended.push_back({o, out, err}); });
    QObject::connect(&driver, &kv::BatchDriver::finished, &context, [&] { done = true; });
    std::vector<kv::BatchRow> rows;
    for (const QString& s : sources)
        rows.push_back({kv::FileListRowId(rows.size() + 1), s, true, true});
    EXPECT_TRUE(driver.start(rows, false));
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 120000));
    return ended;
}

} // namespace kvtest
