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
    // Interfaces as /sys/class/net shows them (eth0 up, wlan0 down), routes as /proc/net shows.
    for (const auto& [name, flags] :
         {std::pair{"eth0", "0x1003"}, {"wlan0", "0x1002"}, {"lo", "0x9"}})
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QString("net/") + name)) &&
                    WriteBytes(dir.filePath(QString("net/") + name + "/flags"), flags));
    const QByteArray v4 =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    const auto v4Route = [](const char* dev, const char* to, const char* flags) {
        return QByteArray(dev) + "\t" + to + "\t0101A8C0\t" + flags +
               "\t0\t0\t0\t00000000\t0\t0\t0\n";
    };
    const auto v6Route = [](const char* dev, const char* to, const char* flags) {
        return QByteArray(to) + " 40 " + QByteArray(32, '0') + " 00 " + QByteArray(32, '0') +
               " 00000100 00000001 00000000 " + flags + "     " + dev + "\n";
    };
    const QByteArray v6LoOnly = v6Route("lo", "00000000000000000000000000000001", "80200001") +
                                v6Route("lo", "00000000000000000000000000000000", "00200200") +
                                v6Route("eth0", "fe800000000000000000000000000000", "00000001") +
                                v6Route("eth0", "ff000000000000000000000000000000", "00000001");
    using M = SystemNetworkStatus::Manager;
    const struct {
        M manager;
        std::optional<QByteArray> v4, v6; // nullopt: no such file
        bool connected;
    } cases[] = {
        {M::Unknown, v4 + v4Route("lo", "0000007F", "0001") + v4Route("eth0", "00000000", "0003"),
         v6LoOnly, true},
        {M::Unknown, v4 + v4Route("eth0", "0001A8C0", "0001"), v6LoOnly, true},
        {M::Unknown, v4, v6LoOnly + v6Route("eth0", QByteArray(32, '0'), "00000003"), true},
        {M::Unknown, v4 + v4Route("lo", "0000007F", "0001"), v6LoOnly, false},
        {M::Unknown, v4 + v4Route("wlan0", "00000000", "0003"), std::nullopt, false},
        {M::Unknown, v4 + v4Route("eth0", "00000000", "0203"), v6LoOnly, false}, // rejecting
        {M::Unknown, std::nullopt, std::nullopt, true}, // nothing can tell: let it try
        {M::Disconnected, v4 + v4Route("eth0", "00000000", "0003"), v6LoOnly, false},
        {M::Connected, v4, v6LoOnly, true},
    };
    const auto status = [&](M manager) {
        return SystemNetworkStatus([manager] { return manager; }, dir.filePath("route"),
                                   dir.filePath("ipv6_route"), dir.filePath("net"));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.v4.value_or("-").toStdString() + c.v6.value_or("-").toStdString());
        QFile::remove(dir.filePath("route")), QFile::remove(dir.filePath("ipv6_route"));
        ASSERT_TRUE(!c.v4 || WriteBytes(dir.filePath("route"), *c.v4));
        ASSERT_TRUE(!c.v6 || WriteBytes(dir.filePath("ipv6_route"), *c.v6));
        EXPECT_EQ(status(c.manager).connected(), c.connected);
    }
    // With nothing leading out, the download's box, not a dialog that then fails.
    SystemNetworkStatus none = status(M::Unknown);
    SetNetworkStatus(&none);
    const std::shared_ptr<void> restore(nullptr, [](void*) { SetNetworkStatus(nullptr); });
    LoopbackHttpServer server;
    RecordingMessageBoxes boxes;
    EXPECT_EQ(DownloadFile(nullptr, server.url("/file").toString(), dir.filePath("got"), "x"),
              DownloadOutcome::NotConnected);
    EXPECT_EQ(server.requests, 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("You are not connected to internet"));
}
