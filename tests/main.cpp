// Shared entry point: one QApplication per test binary, settings kept in test locations.
#include <QApplication>
#include <QDir>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <unistd.h>

int main(int argc, char** argv) {
    // Test binaries run side by side: each gets a home of its own, so their settings files
    // (and those of the programs they start) never meet.
    const QString home = QDir(qEnvironmentVariable("HOME", QDir::tempPath()))
                             .filePath(QStringLiteral("kvtest-%1").arg(getpid()));
    QDir().mkpath(home);
    qputenv("HOME", QFile::encodeName(home));
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_DATA_HOME");
    QStandardPaths::setTestModeEnabled(true);

    int rc = 0;
    {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Kelvanto"));
        QApplication::setOrganizationName(QStringLiteral("Kelvanto"));
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    QDir(home).removeRecursively();
    return rc;
}
