#include "app/Shutdown.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

using namespace kv;

// A stand-in for logind on a private bus: records what it was asked.
class FakeLogind : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QStringList calls;
public Q_SLOTS:
    void PowerOff(bool interactive) { calls << QStringLiteral("PowerOff %1").arg(interactive); }
    void Reboot(bool interactive) { calls << QStringLiteral("Reboot %1").arg(interactive); }
    void TerminateSession(const QString& id) { calls << QStringLiteral("TerminateSession ") + id; }
};

namespace {
class PrivateBus : public ::testing::Test {
protected:
    void SetUp() override {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"),
                      QStringLiteral("--print-address")});
        ASSERT_TRUE(daemon.waitForStarted());
        ASSERT_TRUE(daemon.waitForReadyRead(5000));
        const QString address = QString::fromUtf8(daemon.readLine()).trimmed();
        service = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("logind-service")));
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, QStringLiteral("logind-client")));
        ASSERT_TRUE(service->isConnected());
        ASSERT_TRUE(client->isConnected());
        ASSERT_TRUE(service->registerService(QStringLiteral("org.freedesktop.login1")));
        ASSERT_TRUE(service->registerObject(QStringLiteral("/org/freedesktop/login1"), &fake,
                                            QDBusConnection::ExportAllSlots));
    }
    void TearDown() override {
        service.reset();
        client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("logind-service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("logind-client"));
        daemon.kill();
        daemon.waitForFinished();
    }
    QProcess daemon;
    FakeLogind fake;
    std::unique_ptr<QDBusConnection> service, client;
};
} // namespace

TEST_F(PrivateBus, EachKindReachesLogindAsAForcedRequest) {
    LogindPowerRequests logind(*client);
    qputenv("XDG_SESSION_ID", "c7");
    ShutdownWindows(8, logind);
    QTRY_COMPARE(fake.calls.size(), 1);
    EXPECT_EQ(fake.calls.last(), QStringLiteral("PowerOff 0"));
    ShutdownWindows(2, logind);
    QTRY_COMPARE(fake.calls.size(), 2);
    EXPECT_EQ(fake.calls.last(), QStringLiteral("Reboot 0"));
    ShutdownWindows(0, logind);
    QTRY_COMPARE(fake.calls.size(), 3);
    EXPECT_EQ(fake.calls.last(), QStringLiteral("TerminateSession c7"));
    qunsetenv("XDG_SESSION_ID");
    ShutdownWindows(0, logind);
    QTRY_COMPARE(fake.calls.size(), 4);
    EXPECT_EQ(fake.calls.last(), QStringLiteral("TerminateSession auto"));
    ShutdownWindows(1, logind);
    QTRY_COMPARE(fake.calls.size(), 5);
    EXPECT_EQ(fake.calls.last(), QStringLiteral("PowerOff 0"));
}

TEST_F(PrivateBus, UnknownKindsRequestNothing) {
    LogindPowerRequests logind(*client);
    for (int kind : {-1, 3, 4, 5, 7, 9, 12})
        ShutdownWindows(kind, logind);
    ShutdownWindows(2, logind); // a marker that the bus delivered everything before it
    QTRY_COMPARE(fake.calls.size(), 1);
    EXPECT_EQ(fake.calls.first(), QStringLiteral("Reboot 0"));
}

#include "ShutdownTest.moc"
