// DownloadFile against a loopback HTTP server: a whole file, a redirect, a 404, a connection
// dropped half-way, a cancelled dialog, no network, and an address that is not on the web.
#include "ui/DownloadDialog.h"

#include "LoopbackHttpServer.h"
#include "MediaTools.h"
#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kv;
using namespace kvtest;

namespace {

class FakeNetwork final : public NetworkStatus {
public:
    explicit FakeNetwork(bool up) : up_(up) { SetNetworkStatus(this); }
    ~FakeNetwork() override { SetNetworkStatus(nullptr); }
    bool connected() override {
        ++asked;
        return up_;
    }
    int asked = 0;

private:
    bool up_;
};

QByteArray body(int size) {
    QByteArray b(size, Qt::Uninitialized);
    quint32 seed = 7;
    for (char& c : b) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    return b;
}

} // namespace

TEST(Download, OneFileIntoPlaceOrNothing) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.listening());
    const QByteArray file = body(300000);
    server.route("/file", {200, file, {}});
    server.route("/old", {302, "moved", server.url("/file").toEncoded()});
    server.route("/drop", {200, file, {}, 100000, true});
    server.route("/hold", {200, file, {}, 100000, false});
    const QString name = QStringLiteral("Windows Media Format 9.0...");
    const QString title = QStringLiteral("Downloading Windows Media Format 9.0...");

    const struct {
        const char* name;
        QString url;
        bool connected;
        DownloadOutcome outcome;
        bool arrived; // the destination holds the new file (else still the old one)
        int requests; // reaching the server
        QString box;  // the start of the one box shown, "" for none
    } cases[] = {
        {"a whole file", server.url("/file").toString(), true, DownloadOutcome::Done, true, 1, ""},
        {"a redirect is followed", server.url("/old").toString(), true, DownloadOutcome::Done, true,
         2, ""},
        {"not found", server.url("/missing").toString(), true, DownloadOutcome::Failed, false, 1,
         title + " failed: "},
        {"dropped half-way", server.url("/drop").toString(), true, DownloadOutcome::Failed, false,
         1, title + " failed: "},
        {"cancelled in the dialog", server.url("/hold").toString(), true,
         DownloadOutcome::Cancelled, false, 1, ""},
        {"no network", server.url("/file").toString(), false, DownloadOutcome::NotConnected, false,
         0, "You are not connected to internet"},
        {"not a web address", "file:///etc/hostname", true, DownloadOutcome::Failed, false, 0,
         title + " failed: Not a web address"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString destination = dir.filePath("wmfdist.exe");
        ASSERT_TRUE(WriteBytes(destination, "old"));
        FakeNetwork network(c.connected);
        RecordingMessageBoxes boxes;
        QStringList dialogTexts;
        bool sawOldFileMeanwhile = false;
        const QMetaObject::Connection held =
            QObject::connect(&server, &LoopbackHttpServer::holding, [&] {
                sawOldFileMeanwhile = ReadBytes(destination) == "old";
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    auto* d = qobject_cast<QProgressDialog*>(w);
                    if (d && d->isVisible()) {
                        dialogTexts << d->windowTitle() << d->labelText();
                        if (auto* cancel = d->findChild<QPushButton*>())
                            cancel->click();
                    }
                }
            });
        const int before = server.requests();

        EXPECT_EQ(DownloadFile(nullptr, c.url, destination, name), c.outcome);

        QObject::disconnect(held);
        EXPECT_EQ(server.requests() - before, c.requests);
        EXPECT_EQ(ReadBytes(destination) == file, c.arrived);
        if (!c.arrived) {
            EXPECT_EQ(ReadBytes(destination), QByteArray("old"));
        }
        // No temporary file is left beside it.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"wmfdist.exe"});
        ASSERT_EQ(boxes.shown.size(), c.box.isEmpty() ? 0u : 1u);
        if (!c.box.isEmpty()) {
            EXPECT_TRUE(boxes.shown[0].text.startsWith(c.box)) << boxes.shown[0].text.toStdString();
            EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Kelvanto"));
            EXPECT_EQ(boxes.shown[0].icon, c.connected ? MsgIcon::Critical : MsgIcon::NoIcon);
        }
        EXPECT_EQ(network.asked, 1);
        if (c.outcome == DownloadOutcome::Cancelled) {
            EXPECT_EQ(dialogTexts,
                      QStringList({title, title + "\n" + title + ", Please wait...."}));
            EXPECT_TRUE(sawOldFileMeanwhile);
        }
    }
}
