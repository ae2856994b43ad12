// The output settings' load (every value read from the store) and save (the close-time write
// of all the values), median of 9 each, in a settings folder on the disk under test.
// Usage: settings-bench [FOLDER] (default: a temporary folder in the current one)
#include "settings/OutputSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
template <class F> double medianMs(F&& run) {
    std::vector<double> ms;
    for (int i = 0; i < 9; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
} // namespace

int main(int argc, char** argv) {
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir config(base + QStringLiteral("/settings-bench-XXXXXX"));
    if (!config.isValid()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", qPrintable(base));
        return 1;
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QCoreApplication app(argc, argv);

    kv::CRegister reg;
    kv::OutputSettings values;
    values.setNumber(kv::OutputSetting::sliderOGG, 7);
    const double save = medianMs([&] { kv::WriteOutputSettings(reg, values); });
    const double load = medianMs([&] {
        kv::OutputSettings read;
        kv::ReadStoredOutputSettings(reg, read);
    });
    std::printf("save (%d values, one file replacement): %.2f ms\n", kv::kOutputSettingCount, save);
    std::printf("load (%d values read):                  %.2f ms\n", kv::kOutputSettingCount, load);
    return 0;
}
