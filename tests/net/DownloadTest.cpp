// DownloadFile against a loopback HTTP server: a whole file, a redirect, a 404, a connection
// dropped half-way, a cancelled dialog, no network, and an address that is not on the web.
#include "ui/DownloadDialog.h"
#include "settings/ProgramFolder.h"

#include "LoopbackHttpServer.h"
#include "MediaTools.h"
#include "TestSupport.h"

#include <QApplication>
#include <QImage>
#include <QDir>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>

#include <optional>

#include <memory>

#include <gtest/gtest.h>

using namespace kv;
using namespace kvtest;

namespace {
class FakeNetwork final : public NetworkStatus {
public:
    explicit FakeNetwork(bool up) : up_(up) { SetNetworkStatus(this); }
    ~FakeNetwork() override { SetNetworkStatus(nullptr); }
    bool connected() override { return ++asked, up_; }
    int asked = 0;

private:
    bool up_;
};
} // namespace

TEST(Download, OneFileIntoPlaceOrNothing) {
    // The program folder's small image, as the build renders it.
    QTemporaryDir program;
    QImage image(48, 48, QImage::Format_RGB32);
    image.fill(Qt::white);
    ASSERT_TRUE(image.save(program.filePath("icon.bmp"), "BMP"));
    SetProgramFolder(program.path());
    const std::shared_ptr<void> restore(nullptr, [](void*) { SetProgramFolder(QString()); });
    LoopbackHttpServer server;
    QByteArray file(300000, Qt::Uninitialized);
    for (int i = 0; i < file.size(); ++i)
        file[i] = static_cast<char>((static_cast<unsigned>(i) * 7919u) >> 5);
    server.routes = {{"/file", {200, file, {}}},
                     {"/old", {302, "moved", server.url("/file").toEncoded()}},
                     {"/drop", {200, file, {}, 100000, true}},
                     {"/hold", {200, file, {}, 100000, false}}};
    const QString title = "Downloading Windows Media Format 9.0...";
    const QString failed = title + " failed: ";
    const struct {
        const char* name;
        QString url;
        bool connected;
        DownloadOutcome outcome;
        int requests; // reaching the server
        QString box;  // the start of the one box shown, "" for none
    } cases[] = {
        {"a whole file", server.url("/file").toString(), true, DownloadOutcome::Done, 1, ""},
        {"a redirect", server.url("/old").toString(), true, DownloadOutcome::Done, 2, ""},
        {"not found", server.url("/no").toString(), true, DownloadOutcome::Failed, 1, failed},
        {"dropped half-way", server.url("/drop").toString(), true, DownloadOutcome::Failed, 1,
         failed},
        {"cancelled", server.url("/hold").toString(), true, DownloadOutcome::Cancelled, 1, ""},
        {"no network", server.url("/file").toString(), false, DownloadOutcome::NotConnected, 0,
         "You are not connected to internet"},
        {"not on the web", "file:///etc/hostname", true, DownloadOutcome::Failed, 0,
         failed + "Not a web address"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString destination = dir.filePath("wmfdist.exe");
        ASSERT_TRUE(WriteBytes(destination, "old"));
        FakeNetwork network(c.connected);
        RecordingMessageBoxes boxes;
        QStringList seen; // the dialog's texts and the destination's while the server holds
        const auto held = QObject::connect(&server, &LoopbackHttpServer::holding, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible()) {
                    seen << d->windowTitle() << d->labelText() << ReadBytes(destination)
                         << (d->windowIcon().isNull() ? "no image" : "image");
                    d->findChild<QPushButton*>()->click();
                }
            }
        });
        const int before = server.requests;
        EXPECT_EQ(DownloadFile(nullptr, c.url, destination, "Windows Media Format 9.0..."),
                  c.outcome);
        QObject::disconnect(held);
        EXPECT_EQ(server.requests - before, c.requests);
        EXPECT_EQ(network.asked, 1);
        // The new file whole, or the old one untouched; never a temporary file beside it.
        EXPECT_EQ(ReadBytes(destination), c.outcome == DownloadOutcome::Done ? file : "old");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"wmfdist.exe"});
        ASSERT_EQ(boxes.shown.size(), c.box.isEmpty() ? 0u : 1u);
        if (!c.box.isEmpty()) {
            EXPECT_TRUE(boxes.shown[0].text.startsWith(c.box)) << boxes.shown[0].text.toStdString();
            EXPECT_EQ(boxes.shown[0].icon, c.connected ? MsgIcon::Critical : MsgIcon::NoIcon);
        }
        if (c.outcome == DownloadOutcome::Cancelled) {
            EXPECT_EQ(seen,
                      QStringList({title, title + "\n" + title + ", Please wait....", "old",
                                   "image"}));
        }
    }
}

TEST(Download, WithoutAManagerThatKnowsTheRoutingTablesTell) {
    QTemporaryDir dir;
    // Interfaces as /sys/class/net shows them: eth0 up, wlan0 down, lo up.
    for (const auto& [name, flags] : {std::pair{"eth0", "0x1003"}, std::pair{"wlan0", "0x1002"},
                                      std::pair{"lo", "0x9"}}) {
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QString("net/") + name)));
        ASSERT_TRUE(WriteBytes(dir.filePath(QString("net/") + name + "/flags"), flags));
    }
    const QByteArray v4Header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask"
                                "\t\tMTU\tWindow\tIRTT\n";
    const QByteArray v4Default = "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
    const QByteArray v4Lan = "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n";
    const QByteArray v4DownLink = "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n";
    const QByteArray v4Loopback = "lo\t0000007F\t00000000\t0001\t0\t0\t0\t000000FF\t0\t0\t0\n";
    const QByteArray v6Lo =
        "00000000000000000000000000000001 80 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 00000000 00000002 00000000 80200001       lo\n"
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n";
    const QByteArray v6LinkLocal =
        "fe800000000000000000000000000000 40 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 00000100 00000001 00000000 00000001     eth0\n"
        "ff000000000000000000000000000000 08 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 00000100 00000003 00000000 00000001     eth0\n";
    const QByteArray v6Default =
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "fe800000000000000000000000000001 00000400 00000002 00000000 00000003     eth0\n";
    using M = SystemNetworkStatus::Manager;
    const struct {
        const char* name;
        M manager;
        std::optional<QByteArray> v4, v6; // nullopt: no such file
        bool connected;
    } cases[] = {
        {"a default route", M::Unknown, v4Header + v4Loopback + v4Default, v6Lo, true},
        {"a local network only", M::Unknown, v4Header + v4Lan, v6Lo, true},
        {"an IPv6 default route only", M::Unknown, v4Header, v6Lo + v6LinkLocal + v6Default, true},
        {"loopback and link-local only", M::Unknown, v4Header + v4Loopback, v6Lo + v6LinkLocal,
         false},
        {"a route on an interface that is down", M::Unknown, v4Header + v4DownLink, v6Lo, false},
        {"no IPv6 table, nothing on IPv4", M::Unknown, v4Header, std::nullopt, false},
        {"no tables to read", M::Unknown, std::nullopt, std::nullopt, true},
        {"the manager says disconnected", M::Disconnected, v4Header + v4Default, v6Lo, false},
        {"the manager says connected", M::Connected, v4Header, v6Lo, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(dir.filePath("route"));
        QFile::remove(dir.filePath("ipv6_route"));
        ASSERT_TRUE(!c.v4 || WriteBytes(dir.filePath("route"), *c.v4));
        ASSERT_TRUE(!c.v6 || WriteBytes(dir.filePath("ipv6_route"), *c.v6));
        SystemNetworkStatus status([&c] { return c.manager; }, dir.filePath("route"),
                                   dir.filePath("ipv6_route"), dir.filePath("net"));
        EXPECT_EQ(status.connected(), c.connected);
    }
    // The download's box, and not a dialog that then fails, when nothing leads out.
    ASSERT_TRUE(WriteBytes(dir.filePath("route"), v4Header + v4Loopback));
    ASSERT_TRUE(WriteBytes(dir.filePath("ipv6_route"), v6Lo + v6LinkLocal));
    SystemNetworkStatus none([] { return M::Unknown; }, dir.filePath("route"),
                             dir.filePath("ipv6_route"), dir.filePath("net"));
    SetNetworkStatus(&none);
    const std::shared_ptr<void> restore(nullptr, [](void*) { SetNetworkStatus(nullptr); });
    LoopbackHttpServer server;
    server.routes = {{"/file", {200, "data", {}}}};
    RecordingMessageBoxes boxes;
    EXPECT_EQ(DownloadFile(nullptr, server.url("/file").toString(), dir.filePath("got"), "x"),
              DownloadOutcome::NotConnected);
    EXPECT_EQ(server.requests, 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("You are not connected to internet"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("got")));
}
