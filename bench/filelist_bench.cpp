// A list of 10,000 already probed rows in the real window: time to add them, to tick all,
// to remove half, and the heap the list takes. Median of five runs.
#include "BenchSupport.h"
#include "app/frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QStandardPaths>
#include <QTableView>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace kv;
using Clock = std::chrono::steady_clock;

namespace {

double ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}
size_t heapInUse() {
    return mallinfo2().uordblks;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    QStandardPaths::setTestModeEnabled(true);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    NoBoxes boxes;
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;

    std::vector<double> add, tick, remove, bytes;
    for (int run = 0; run < 5; ++run) {
        frmMain w;
        w.load();
        w.show();
        QApplication::processEvents();
        const size_t before = heapInUse();

        const auto t0 = Clock::now();
        for (int i = 0; i < rows; ++i) {
            FileListRow r;
            r.FilePath = QStringLiteral("/home/user/Music/Album %1/Track %2 - Title.flac")
                             .arg(i / 12)
                             .arg(i);
            r.Status = kStatusWaiting;
            r.Duration = QStringLiteral("03:07");
            r.FileSize = QStringLiteral("24.37 MB");
            w.fileListModel()->appendRow(r);
        }
        QApplication::processEvents();
        const auto t1 = Clock::now();
        bytes.push_back(double(heapInUse() - before));

        w.chkSelectAll->click();
        QApplication::processEvents();
        const auto t2 = Clock::now();

        for (int i = 0; i < rows; ++i)
            w.fileListModel()->setCheckBox(i, i % 2);
        const auto t3 = Clock::now();
        w.cmdRemove_Click();
        QApplication::processEvents();
        const auto t4 = Clock::now();

        add.push_back(ms(t0, t1));
        tick.push_back(ms(t1, t2));
        remove.push_back(ms(t3, t4));
    }
    std::printf("rows %d (median of 5)\n", rows);
    std::printf("add            %8.1f ms\n", median(add));
    std::printf("tick all       %8.1f ms\n", median(tick));
    std::printf("remove half    %8.1f ms\n", median(remove));
    std::printf("list memory    %8.2f MiB (%.0f bytes a row)\n", median(bytes) / 1048576.0,
                median(bytes) / rows);
    return 0;
}
