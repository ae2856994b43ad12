// Launch to first painted window: started by bench/startup_bench.sh with the launch time
// (nanoseconds, CLOCK_REALTIME) as its argument; prints the milliseconds to its first paint
// and quits.
#include "app/frmMain.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {
long long nowNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

class FirstPaint : public QObject {
public:
    explicit FirstPaint(long long launched) : launched_(launched) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && !done_) {
            done_ = true;
            std::printf("%.1f\n", (nowNs() - launched_) / 1e6);
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QApplication::quit);
        }
        return false;
    }

private:
    long long launched_;
    bool done_ = false;
};
} // namespace

int main(int argc, char** argv) {
    const long long launched = argc > 1 ? std::atoll(argv[1]) : nowNs();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvanto"));
    QApplication::setOrganizationName(QStringLiteral("Kelvanto"));
    kv::frmMain window;
    if (!window.load())
        return 1;
    FirstPaint watch(launched);
    window.installEventFilter(&watch);
    window.show();
    return QApplication::exec();
}
