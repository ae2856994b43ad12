// WMA in the window: the tag boxes and their rule, a batch writing the design-time tags and
// refilling the bitrate list; without a WMA encoder, the notice panel, the install offer for
// unreadable Windows Media files and the two notice buttons, with a loopback download server
// and a desktop that only records what it is asked to open.
#include "app/WindowsMediaOutput.h"
#include "app/frmMain.h"
#include "controls/Slider.h"
#include "convert/WmaFileWriter.h"
#include "filelist/FileAdder.h"
#include "lang/Captions.h"
#include "net/FileDownload.h"
#include "settings/ProgramFolder.h"
#include "ui/DesktopOpener.h"
#include "ui/FramePanel.h"
#include "ui/MyButton.h"

#include "LoopbackHttpServer.h"
#include "MediaTools.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace kv;
using namespace kvtest;

namespace {

class RecordingOpener final : public DesktopOpener {
public:
    RecordingOpener() { SetDesktopOpener(this); }
    ~RecordingOpener() override { SetDesktopOpener(nullptr); }
    bool open(const QUrl& url) override {
        opened << url;
        return true;
    }
    QList<QUrl> opened;
};

class UpNetwork final : public NetworkStatus {
public:
    UpNetwork() { SetNetworkStatus(this); }
    ~UpNetwork() override { SetNetworkStatus(nullptr); }
    bool connected() override { return true; }
};

QJsonObject formatTags(const QString& path) {
    const ProcessResult r =
        RunTool("ffprobe", {"-v", "error", "-show_entries", "format_tags:stream=bit_rate", "-of",
                            "json", path});
    return QJsonDocument::fromJson(r.out).object();
}

const QString kPrompt =
    QStringList{"Your System does not support Windows Media Audio Encoding. To Support it, you "
                "have to do one of the following",
                "Click Yes to download and install Windows Media Format (~3.9 MB).",
                "Click No to open Microsoft Media Player web site to download and install Media "
                "Player Version 9.0 or later.",
                "Click Cancel to manaully install it by yourself."}
        .join('\n');
const QString kRestart = "You have to restart Kelvanto after installing";

} // namespace

TEST(WmaWindow, TagBoxesAndABatchThatWritesTheirTexts) {
    ProgramFolderFixture fx;
    RecordingMessageBoxes boxes;
    QTemporaryDir dir;
    frmMain w;
    ASSERT_TRUE(w.load());
    EXPECT_FALSE(w.frFormat[4]->isVisibleTo(w.frFormats));
    EXPECT_TRUE(w.wmaOutput()->supported());

    // Each box beside the label of its tag, with its design text; off until tags are ticked.
    const char* labels[8] = {"Title",  "Artist",    "Album Title", "Description",
                             "Rating", "Copyright", "Genere",      "Year"};
    const char* texts[8] = {"Title",  "Artist",    "Album Title", "Description",
                            "Rating", "Copyright", "Genre",       "Year"};
    for (int i = 0; i < 8; ++i) {
        QLineEdit* box = w.txtWMATags[i];
        auto* label = qobject_cast<QLabel*>(
            w.frFormat[1]->childAt(box->x() - 20, box->y() + box->height() / 2));
        ASSERT_NE(label, nullptr) << i;
        EXPECT_EQ(label->text(), QString(labels[i])) << i;
        EXPECT_EQ(box->text(), QString(texts[i]));
        EXPECT_FALSE(box->isEnabled());
    }
    QTest::mouseClick(w.chkWMAFileTags, Qt::LeftButton);
    for (QLineEdit* box : w.txtWMATags)
        EXPECT_TRUE(box->isEnabled());
    QTest::mouseClick(w.chkWMAFileTags, Qt::LeftButton);
    for (QLineEdit* box : w.txtWMATags)
        EXPECT_FALSE(box->isEnabled());
    QTest::mouseClick(w.chkWMAFileTags, Qt::LeftButton);

    // A batch with the design texts, one box emptied, at the top of the slider.
    QString src = dir.filePath("song.flac");
    ASSERT_TRUE(MakeSine(src, 1.0, 44100, 2, {"-c:a", "flac"}));
    ASSERT_TRUE(w.AddFile2Grid(src));
    w.txtWMATags[3]->clear();
    w.sliderWMA->setValue(100);
    w.optFileFormat[kFormatWMA]->setChecked(true);
    w.optSameFolder->setChecked(true);
    QSignalSpy ended(&w, &frmMain::batchEnded);
    w.cmdConvert->click();
    ASSERT_TRUE(ended.wait(120000));
    EXPECT_EQ(w.fileList()->row(0).Status, QStringLiteral("Complete"));
    const QJsonObject probe = formatTags(dir.filePath("song.wma"));
    const QJsonObject tags = probe["format"].toObject()["tags"].toObject();
    EXPECT_EQ(tags["title"].toString(), "Title");
    EXPECT_EQ(tags["artist"].toString(), "Artist");
    EXPECT_EQ(tags["album"].toString(), "Album Title");
    EXPECT_EQ(tags["rating"].toString(), "Rating");
    EXPECT_EQ(tags["genre"].toString(), "Genre");
    EXPECT_EQ(tags["WM/Year"].toString(), "Year");
    EXPECT_FALSE(tags.contains("comment"));
    EXPECT_EQ(probe["streams"].toArray()[0].toObject()["bit_rate"].toString(), "320000");
    // The list the file's bitrate came from, refilled on the window's thread.
    QTRY_COMPARE(w.cmbWMAEncodingBitrate->count(), 8);
    EXPECT_EQ(w.cmbWMAEncodingBitrate->currentIndex(), 0);
    EXPECT_EQ(w.cmbWMAEncodingBitrate->currentText(), "320 Kbps");
    EXPECT_EQ(w.cmbWMAEncodingBitrate->itemData(7).toInt(), 48000);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(WmaWindow, WithoutWmaTheNoticeAndTheInstallOffer) {
    LoopbackHttpServer server;
    ASSERT_TRUE(server.listening());
    server.route("/download/WMFDIST.EXE", {200, QByteArray(70000, 'x'), {}});
    ProgramFolderFixture fx;
    fx.writeFile("Deployment.ini",
                 "[Addresses]\nWMFInstaller=" + server.url("/download/WMFDIST.EXE").toEncoded() +
                     "\nWMFDownloadPage=https://player.test/page?a=1&b=2\n");
    const QUrl page("https://player.test/page?a=1&b=2");
    const QUrl installer = QUrl::fromLocalFile(QDir(WritableFolder()).filePath("wmfdist.exe"));
    RecordingMessageBoxes boxes;
    RecordingOpener desktop;
    UpNetwork network;
    QTemporaryDir dir;

    SetWmaEncoderName("kelvanto-no-such-encoder");
    frmMain w;
    ASSERT_TRUE(w.load());
    EXPECT_FALSE(w.wmaOutput()->supported());
    // The notice lies on top of the format pages, with its texts.
    ASSERT_TRUE(w.frFormat[4]->isVisibleTo(w.frFormats));
    QWidget* top = w.frFormats->childAt(w.frFormat[1]->geometry().center());
    EXPECT_TRUE(top == w.frFormat[4] || w.frFormat[4]->isAncestorOf(top));
    EXPECT_EQ(w.findChild<QLabel*>("Label35")->text(),
              "Windows Media Format is not installed in your system and you can not select WMA "
              "as an output format unless you install Windows Media Format Version 9.0 or later "
              "or install Windows Media Player version 9.0 or later");
    EXPECT_EQ(w.findChild<QLabel*>("Label36")->text(),
              "* You have to restart Kelvanto after installing.");
    EXPECT_EQ(w.cmdDownloadWMF->text(), "Download and Install Windows Media Format (~3.9 MB) *");
    EXPECT_EQ(w.cmdOpenWMSite->text(), "Open Microsoft Media Player download page *");
    EXPECT_TRUE(boxes.shown.empty());

    // Unreadable files: the offer once for each Windows Media one, in any case; none for MP3.
    // Answered Cancel, No, then Yes.
    QStringList paths;
    for (const char* name : {"a.WMV", "b.mp3", "c.wma", "d.Asf"}) {
        paths << dir.filePath(name);
        ASSERT_TRUE(WriteBytes(paths.last(), QByteArray(4000, '\x33')));
    }
    boxes.answers = {MsgResult::Cancel, MsgResult::No, MsgResult::Ok, MsgResult::Yes,
                     MsgResult::Ok};
    w.AddAudioFiles(paths);
    QTRY_VERIFY_WITH_TIMEOUT(!w.fileAdder()->isBusy(), 60000);
    ASSERT_EQ(w.fileList()->rowCount(), 4);
    std::vector<std::pair<MsgIcon, QString>> seen;
    for (const MessageRequest& r : boxes.shown)
        seen.emplace_back(r.icon, r.text);
    const std::vector<std::pair<MsgIcon, QString>> expected = {{MsgIcon::Critical, kPrompt},
                                                               {MsgIcon::Critical, kPrompt},
                                                               {MsgIcon::Information, kRestart},
                                                               {MsgIcon::Critical, kPrompt},
                                                               {MsgIcon::Information, kRestart}};
    EXPECT_EQ(seen, expected);
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(boxes.shown[0].title, "Kelvanto");
    // No: the page; Yes: the downloaded installer, handed to the desktop.
    EXPECT_EQ(desktop.opened, QList<QUrl>({page, installer}));
    EXPECT_EQ(ReadBytes(installer.toLocalFile()), QByteArray(70000, 'x'));
    EXPECT_EQ(server.requests(), 1);

    // The notice's buttons: no box, straight to the page or the download.
    boxes.shown.clear();
    desktop.opened.clear();
    w.cmdOpenWMSite->click();
    w.cmdDownloadWMF->click();
    EXPECT_EQ(desktop.opened, QList<QUrl>({page, installer}));
    EXPECT_EQ(server.requests(), 2);
    EXPECT_TRUE(boxes.shown.empty());

    // With the encoder back, an unreadable Windows Media file gets no offer.
    SetWmaEncoderName("wmav2");
    QString more = dir.filePath("e.WMV");
    ASSERT_TRUE(WriteBytes(more, QByteArray(4000, '\x33')));
    ASSERT_TRUE(w.AddFile2Grid(more));
    EXPECT_TRUE(boxes.shown.empty());
}
