// WMA in the window: the tag boxes, a batch writing their texts and refilling the bitrate list;
// without a WMA encoder, the notice panel, the install offer for unreadable Windows Media files
// and the notice's buttons, against a loopback server and a desktop that only records.
#include "app/WindowsMediaOutput.h"
#include "app/frmMain.h"
#include "controls/Slider.h"
#include "formats/WmaFileWriter.h"
#include "filelist/FileAdder.h"
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
class FakeDesktop final : public DesktopOpener, public NetworkStatus {
public:
    FakeDesktop() { SetDesktopOpener(this), SetNetworkStatus(this); }
    ~FakeDesktop() override { SetDesktopOpener(nullptr), SetNetworkStatus(nullptr); }
    bool open(const QUrl& url) override { return opened << url, true; }
    bool connected() override { return true; }
    QList<QUrl> opened;
};
} // namespace

TEST(WmaWindow, TagBoxesAndABatchThatWritesTheirTexts) {
    ProgramFolderFixture fx;
    RecordingMessageBoxes boxes;
    QTemporaryDir dir;
    frmMain w;
    ASSERT_TRUE(w.load());
    EXPECT_FALSE(w.frFormat[4]->isVisibleTo(w.frFormats));
    // Each box beside the label of its tag, with its design text; usable while ticked.
    const char* labels[8] = {"Title",  "Artist",    "Album Title", "Description",
                             "Rating", "Copyright", "Genere",      "Year"};
    for (int i = 0; i < 8; ++i) {
        QLineEdit* box = w.txtWMATags[i];
        auto* label = qobject_cast<QLabel*>(w.frFormat[1]->childAt(box->x() - 20, box->y() + 5));
        EXPECT_EQ(label ? label->text() : QString(), labels[i]);
        EXPECT_EQ(box->text(), i == 6 ? "Genre" : labels[i]);
        EXPECT_FALSE(box->isEnabled());
    }
    for (bool ticked : {true, false, true}) {
        QTest::mouseClick(w.chkWMAFileTags, Qt::LeftButton);
        for (QLineEdit* box : w.txtWMATags)
            EXPECT_EQ(box->isEnabled(), ticked);
    }

    // A batch with the design texts but one box emptied, at the top of the slider: the source's
    // own comment fills the empty box's tag.
    const QString src = dir.filePath("song.flac");
    ASSERT_TRUE(MakeSine(src, 1.0, 44100, 2,
                         {"-c:a", "flac", "-metadata", "comment=From the source"}));
    QString path = src;
    ASSERT_TRUE(w.AddFile2Grid(path));
    w.txtWMATags[3]->clear();
    w.sliderWMA->setValue(100);
    w.optFileFormat[kFormatWMA]->setChecked(true);
    w.optSameFolder->setChecked(true);
    QSignalSpy ended(&w, &frmMain::batchEnded);
    w.cmdConvert->click();
    ASSERT_TRUE(ended.wait(120000));
    EXPECT_EQ(w.fileList()->row(0).Status, "Complete");
    const QStringList fields =
        FfprobeLines(dir.filePath("song.wma"), "stream=bit_rate:format_tags");
    for (const char* f :
         {"bit_rate=320000", "TAG:title=Title", "TAG:artist=Artist", "TAG:album=Album Title",
          "TAG:copyright=Copyright", "TAG:genre=Genre", "TAG:WM/Year=Year"})
        EXPECT_TRUE(fields.contains(f)) << f;
    // FFmpeg's reader skips the main description's rating; it is there, once.
    EXPECT_EQ(AsfTagPlaces(dir.filePath("song.wma")).filter("Rating=").join('|'),
              "content:Rating=Rating");
    EXPECT_TRUE(fields.contains("TAG:comment=From the source")) << fields.join('|').toStdString();
    // The list the file's bitrate came from, refilled on the window's thread.
    QTRY_COMPARE(w.cmbWMAEncodingBitrate->count(), 8);
    EXPECT_EQ(w.cmbWMAEncodingBitrate->currentText(), "320 Kbps");
    EXPECT_EQ(w.cmbWMAEncodingBitrate->itemData(7).toInt(), 48000);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(WmaWindow, WithoutWmaTheNoticeAndTheInstallOffer) {
    LoopbackHttpServer server;
    server.routes = {{"/download/WMFDIST.EXE", {200, QByteArray(70000, 'x'), {}}}};
    ProgramFolderFixture fx;
    fx.writeFile("Deployment.ini",
                 "[Addresses]\nWMFInstaller=" + server.url("/download/WMFDIST.EXE").toEncoded() +
                     "\nWMFDownloadPage=https://player.test/p?a=1&b=2\n");
    const QUrl page("https://player.test/p?a=1&b=2");
    const QUrl installer = QUrl::fromLocalFile(QDir(WritableFolder()).filePath("wmfdist.exe"));
    RecordingMessageBoxes boxes;
    FakeDesktop desktop;
    QTemporaryDir dir;
    SetWmaEncoderName("kelvanto-no-such-encoder");
    frmMain w;
    ASSERT_TRUE(w.load());
    // The notice on top of the format pages, with its texts.
    QWidget* top = w.frFormats->childAt(w.frFormat[1]->geometry().center());
    EXPECT_TRUE(w.frFormat[4]->isVisibleTo(w.frFormats) && w.frFormat[4]->isAncestorOf(top));
    EXPECT_TRUE(w.findChild<QLabel*>("Label35")->text().startsWith(
        "Windows Media Format is not installed in your system"));
    EXPECT_EQ(w.findChild<QLabel*>("Label36")->text(),
              "* You have to restart Kelvanto after installing.");
    EXPECT_EQ(w.cmdDownloadWMF->text(), "Download and Install Windows Media Format (~3.9 MB) *");
    EXPECT_EQ(w.cmdOpenWMSite->text(), "Open Microsoft Media Player download page *");

    // Unreadable files: the offer for each Windows Media one, in any case, none for MP3;
    // answered Cancel, No (then the restart note), Yes (then the note).
    QStringList paths;
    for (const char* name : {"a.WMV", "b.mp3", "c.wma", "d.Asf"}) {
        paths << dir.filePath(name);
        ASSERT_TRUE(WriteBytes(paths.last(), QByteArray(4000, '\x33')));
    }
    boxes.answers = {MsgResult::Cancel, MsgResult::No, MsgResult::Ok, MsgResult::Yes};
    w.AddAudioFiles(paths);
    QTRY_VERIFY_WITH_TIMEOUT(!w.fileAdder()->isBusy(), 60000);
    EXPECT_EQ(w.fileList()->rowCount(), 4);
    const QString offer =
        "Your System does not support Windows Media Audio Encoding. To Support it, you have to do "
        "one of the following\nClick Yes to download and install Windows Media Format (~3.9 "
        "MB).\nClick No to open Microsoft Media Player web site to download and install Media "
        "Player Version 9.0 or later.\nClick Cancel to manaully install it by yourself.";
    auto box = [](MsgIcon icon, MsgButtons buttons, const QString& text) {
        return QStringLiteral("%1 %2 %3").arg(int(icon)).arg(int(buttons)).arg(text);
    };
    QStringList seen;
    for (const MessageRequest& r : boxes.shown)
        seen << box(r.icon, r.buttons, r.text);
    const QString prompt = box(MsgIcon::Critical, MsgButtons::YesNoCancel, offer);
    const QString info =
        box(MsgIcon::Information, MsgButtons::Ok, "You have to restart Kelvanto after installing");
    EXPECT_EQ(seen, QStringList({prompt, prompt, info, prompt, info}));
    // No: the page; Yes: the downloaded installer, handed to the desktop.
    EXPECT_EQ(desktop.opened, QList<QUrl>({page, installer}));
    EXPECT_EQ(ReadBytes(installer.toLocalFile()), QByteArray(70000, 'x'));

    // The notice's buttons go straight to the page and the download.
    boxes.shown.clear();
    desktop.opened.clear();
    w.cmdOpenWMSite->click();
    w.cmdDownloadWMF->click();
    EXPECT_EQ(desktop.opened, QList<QUrl>({page, installer}));
    EXPECT_EQ(server.requests, 2);
    // With the encoder back, no offer.
    SetWmaEncoderName("wmav2");
    QString more = dir.filePath("e.WMV");
    ASSERT_TRUE(WriteBytes(more, QByteArray(4000, '\x33')));
    ASSERT_TRUE(w.AddFile2Grid(more));
    EXPECT_TRUE(boxes.shown.empty());
}
