#include "app/frmMain.h"
#include "lang/CaptionTable.h"
#include "lang/Captions.h"
#include "lang/LanguageList.h"
#include "ui/FramePanel.h"
#include "ui/MyButton.h"

#include "Sliding.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

using namespace kv;

namespace {
QByteArray bmp(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::red);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "BMP");
    return bytes;
}

QString shownText(QWidget* w) {
    if (auto* p = qobject_cast<FramePanel*>(w))
        return p->caption();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    return {};
}

// Where the dark pixels (the letters) of a picture lie within a part of it.
QRect inkBox(const QImage& picture, const QRect& within) {
    QRect box;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            if (qGray(picture.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

// How many letter pixels of one picture have none in the other within a pixel around the same
// place, the two laid over each other at their inks' corners (text drawn at a fraction of a
// pixel shades its edges differently).
int inkDifference(const QImage& a, const QRect& inA, const QImage& b, const QRect& inB) {
    const QRect boxA = inkBox(a, inA), boxB = inkBox(b, inB);
    const auto inked = [](const QImage& p, const QRect& box, int x, int y) {
        return box.contains(box.topLeft() + QPoint(x, y)) &&
               qGray(p.pixel(box.topLeft() + QPoint(x, y))) < 128;
    };
    int differ = 0;
    for (int y = 0; y < boxA.height(); ++y)
        for (int x = 0; x < boxA.width(); ++x) {
            bool near = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    near = near || inked(b, boxB, x + dx, y + dy);
            differ += inked(a, boxA, x, y) && !near;
        }
    return differ;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { SetLanguageFile(QStringLiteral("English.ini")); }
    void TearDown() override { SetLanguageFile(QStringLiteral("English.ini")); }
    kvtest::ProgramFolderFixture fx;
    kvtest::RecordingMessageBoxes boxes;
};
} // namespace

TEST_F(WindowTest, EveryNamedControlExistsOnItsPanel) {
    frmMain w;
    ASSERT_TRUE(w.load());
    for (const CaptionEntry& e : CaptionTable()) {
        EXPECT_NE(w.findChild<QWidget*>(QString::fromLatin1(e.control)), nullptr) << e.control;
    }
    for (const char* name : {"Grid",
                             "chkSelectAll",
                             "chkShutdown",
                             "optSameFolder",
                             "optOtherFolder",
                             "txtOutPath",
                             "cmdBrowse",
                             "lblFormat",
                             "cmdChangeFormat",
                             "cmdAbout",
                             "MyButton1",
                             "cmdMinimize",
                             "cmdClose",
                             "ComboLang",
                             "lblVer",
                             "frMain",
                             "MyFrame1",
                             "frAbout",
                             "frFormats",
                             "lblWebSite",
                             "cmbMP3CBitrate",
                             "cmbMP3ABitrate",
                             "cmbMP3Freq",
                             "cmbMP3StereoMode",
                             "cmbOGGCBitrate",
                             "cmbOGGVBitrate",
                             "optMP3CBR",
                             "optMP3VBR",
                             "optMP3ABR",
                             "optOGGCBR",
                             "optOGGVBR",
                             "lblWMAQuality",
                             "lblMP3VBREncodSlider",
                             "lblMP3EncodSlider",
                             "lblSliderOGG",
                             "cmbWMAEncodingBitrate"})
        EXPECT_NE(w.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(w.findChildren<QWidget*>(QStringLiteral("optFileFormat")).size(), 7);
    EXPECT_EQ(w.findChildren<QWidget*>(QStringLiteral("frFormat")).size(), 5);
    EXPECT_EQ(w.findChildren<QWidget*>(QStringLiteral("txtWMATags")).size(), 8);
    EXPECT_EQ(w.findChild<QObject*>(QStringLiteral("tmrAnimate")), w.tmrAnimate);

    // The format controls sit on their own panels, which lie on the formats panel.
    EXPECT_EQ(w.cmbMP3Freq->parentWidget(), w.frFormat[2]);
    EXPECT_EQ(w.optOGGVBR->parentWidget(), w.frFormat[3]);
    EXPECT_EQ(w.chkWMAFileTags->parentWidget(), w.frFormat[1]);
    EXPECT_EQ(w.frFormat[0]->parentWidget(), w.frFormats);
    EXPECT_EQ(w.cmdConvert->parentWidget(), w.frMain);
    EXPECT_FALSE(w.frFormat[4]->isVisibleTo(w.frFormats));

    EXPECT_EQ(w.cmbMP3ABitrate->itemText(0), QStringLiteral("310 Kbps"));
    EXPECT_EQ(w.cmbMP3CBitrate->count(), 10);
    EXPECT_EQ(w.cmbOGGVBitrate->count(), 9);
    EXPECT_EQ(w.cmbMP3StereoMode->itemText(4), QStringLiteral("Dual Channels"));
    EXPECT_EQ(w.cmbMP3Freq->itemText(2), QStringLiteral("11.025 KHz"));
}

TEST_F(WindowTest, StartUpPlacesWindowPanelsAndVersion) {
    frmMain w;
    ASSERT_TRUE(w.load());
    EXPECT_FALSE(w.bLoading);
    EXPECT_FALSE(w.IsConverting);
    EXPECT_EQ(w.size(), QSize(728, 577));
    EXPECT_EQ(w.frMain->geometry(), QRect(0, 0, 728, 577));
    EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
    // Both sliding panels are parked just below the window, on the about panel's left edge:
    // (728 - 483) / 2 = 122.5 goes to the even 122.
    EXPECT_EQ(w.frAbout->geometry(), QRect(122, 577, 483, 246));
    EXPECT_EQ(w.frFormats->geometry(), QRect(122, 577, 529, 290));
    EXPECT_FALSE(w.tmrAnimate->isActive());
    EXPECT_EQ(w.tmrAnimate->interval(), 10);
    EXPECT_EQ(w.lblVer->text(), QStringLiteral("%1.%2.0.%3")
                                    .arg(KV_VERSION_MAJOR)
                                    .arg(KV_VERSION_MINOR)
                                    .arg(KV_VERSION_REVISION));
}

TEST_F(WindowTest, TheEngineStartsAfterTheWindowIsPreparedAndWhileLoading) {
    fx.copyShippedLanguages();
    StoreLanguageSetting(QStringLiteral("German.ini"));
    frmMain first;
    ASSERT_TRUE(first.load());
    // A second window finds the engine started and says so: a box shown at step 4, when
    // everything of steps 1 to 3 must already be in place.
    frmMain w;
    bool seen = false;
    boxes.onShow = [&](const MessageRequest&) {
        seen = true;
        EXPECT_TRUE(w.bLoading);
        EXPECT_EQ(LanguageFile(), QStringLiteral("German.ini"));
        EXPECT_EQ(w.ComboLang->currentText(), QStringLiteral("German"));
        EXPECT_EQ(w.frMain->property("BodyColorTopLeft").value<QColor>(), QColor(255, 192, 255));
        EXPECT_NE(w.fileList(), nullptr);
        EXPECT_EQ(w.Grid->model()->headerData(2, Qt::Horizontal).toString(),
                  GetCaption(20009, QStringLiteral("File Path")));
        EXPECT_NE(w.cmdConvert->text(), QStringLiteral("Convert All")); // German captions
        EXPECT_EQ(w.frAbout->y(), 577);
        EXPECT_FALSE(w.lblVer->text().isEmpty());
    };
    EXPECT_TRUE(w.load());
    EXPECT_TRUE(seen);
    EXPECT_FALSE(w.bLoading);
}

TEST_F(WindowTest, GridLayoutHasHiddenIdCheckColumnAndWidths) {
    frmMain w;
    ASSERT_TRUE(w.load());
    ASSERT_NE(w.fileList(), nullptr);
    EXPECT_EQ(w.Grid->model()->columnCount(), 6);
    EXPECT_TRUE(w.Grid->isColumnHidden(0));
    // 500, 5200, 2000, 1200 and 1200 twips: 33.3, 346.7, 133.3, 80 and 80 pixels, rounded.
    const int widths[] = {33, 347, 133, 80, 80};
    for (int c = 1; c < 6; ++c)
        EXPECT_EQ(w.Grid->columnWidth(c), widths[c - 1]) << c;
    QAbstractItemModel* m = w.Grid->model();
    EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), QStringLiteral(" "));
    EXPECT_EQ(m->headerData(2, Qt::Horizontal).toString(), QStringLiteral("File Path"));
    EXPECT_EQ(m->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Conversion Status"));
    EXPECT_EQ(m->headerData(4, Qt::Horizontal).toString(), QStringLiteral("Time Length"));
    EXPECT_EQ(m->headerData(5, Qt::Horizontal).toString(), QStringLiteral("File Size"));
}

TEST_F(WindowTest, MissingLanguageFolderStoresEnglishAndShowsDefaults) {
    QDir(fx.langFolder()).removeRecursively();
    frmMain w;
    ASSERT_TRUE(w.load());
    EXPECT_EQ(ReadLanguageSetting(), QStringLiteral("English.ini"));
    EXPECT_EQ(w.ComboLang->count(), 0);
    EXPECT_TRUE(boxes.shown.empty());
    for (const CaptionEntry& e : CaptionTable()) {
        if (e.target == CaptionTarget::Header || e.target == CaptionTarget::ToolTip)
            continue;
        QWidget* c = w.findChild<QWidget*>(QString::fromLatin1(e.control));
        EXPECT_EQ(shownText(c), QString::fromUtf8(e.defaultText).trimmed()) << e.control;
    }
    EXPECT_EQ(w.cmdClose->toolTip(), QStringLiteral("Close"));
    EXPECT_EQ(w.cmdHide->text(), QStringLiteral("Save && Close"));
}

TEST_F(WindowTest, StoredChoiceSelectsAndAppliesThatLanguage) {
    fx.writeFile("Lang/English.ini", "[Kelvanto]\n10010=Convert All\n");
    fx.writeFile("Lang/German.ini",
                 "[Kelvanto]\n10010=Alle konvertieren\n20009=Dateipfad\n10062=Schlie\xC3\x9F"
                 "en\n"
                 "10001=\n10058=die Kelvanto-Entwickler\n");
    StoreLanguageSetting(QStringLiteral("German.ini"));
    frmMain w;
    ASSERT_TRUE(w.load());
    EXPECT_EQ(w.ComboLang->currentText(), QStringLiteral("German"));
    EXPECT_EQ(w.cmdConvert->text(), QStringLiteral("Alle konvertieren"));
    EXPECT_EQ(w.Grid->model()->headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("Dateipfad"));
    EXPECT_EQ(w.cmdClose->toolTip(), QString::fromUtf8("Schlie\xC3\x9F"
                                                       "en"));
    // A key with an empty value gives an empty caption; a missing key the default.
    EXPECT_EQ(w.chkSelectAll->text(), QString());
    EXPECT_EQ(w.cmdPlay->text(), QStringLiteral("Play"));
    EXPECT_EQ(w.findChild<QLabel*>("lblRights")->text(), QStringLiteral("die Kelvanto-Entwickler"));

    // Picking English in the list switches every caption back and stores the choice.
    w.ComboLang->setCurrentIndex(0);
    w.ComboLang_Click();
    EXPECT_EQ(LanguageFile(), QStringLiteral("English.ini"));
    EXPECT_EQ(ReadLanguageSetting(), QStringLiteral("English.ini"));
    EXPECT_EQ(w.chkSelectAll->text(), QStringLiteral("Select/Unselect All"));
    EXPECT_EQ(w.Grid->model()->headerData(2, Qt::Horizontal).toString(),
              QStringLiteral("File Path"));
}

TEST_F(WindowTest, ArabicTurnsTheWindowRightToLeftAndMirrorsControls) {
    fx.writeFile("Lang/Arabic.ini", "[Kelvanto]\n10010=\xD8\xAA\xD8\xAD\xD9\x88\xD9\x8A\xD9\x84\n");
    fx.writeFile("Lang/English.ini", "[Kelvanto]\n");
    // Chosen in the running window, and stored from the last run: Qt's own Arabic
    // translation turns the program right-to-left before the window mirrors anything.
    for (const bool stored : {false, true}) {
        SCOPED_TRACE(stored ? "stored" : "chosen");
        StoreLanguageSetting(stored ? QStringLiteral("Arabic.ini") : QStringLiteral("English.ini"));
        frmMain w;
        ASSERT_TRUE(w.load());
        const QRect ltr(700, 2, 22, 20); // cmdClose as designed
        if (!stored) {
            EXPECT_EQ(w.cmdClose->geometry(), ltr);
            w.ComboLang->setCurrentIndex(0);
            w.ComboLang_Click();
        }
        EXPECT_EQ(w.layoutDirection(), Qt::RightToLeft);
        EXPECT_EQ(w.cmdConvert->text(),
                  QString::fromUtf8("\xD8\xAA\xD8\xAD\xD9\x88\xD9\x8A\xD9\x84"));
        // The close button moves from the top-right corner to the top-left one.
        EXPECT_EQ(w.cmdClose->x(), 728 - ltr.x() - ltr.width());
        EXPECT_EQ(w.cmdClose->y(), ltr.y());
        // A slider's minimum stays at the left: "Low" at the mirrored slider's left end,
        // "High" at its right end.
        const QLabel* low = w.findChild<QLabel*>(QStringLiteral("Label20"));
        const QLabel* high = w.findChild<QLabel*>(QStringLiteral("Label21"));
        ASSERT_TRUE(low && high);
        const int width = low->parentWidget()->width();
        EXPECT_EQ(low->x(), width - 167 - 60);
        EXPECT_EQ(high->geometry().right() + 1, width - 10);
        // Every slider's labels, the minimum's first: the encoder quality slider's minimum
        // asks lame for its fastest encoding.
        const auto minimumEndsLeft = [&] {
            for (const auto& [lo, hi] : {std::pair{"Label23", "Label24"}, {"Label27", "Label32"},
                                         {"Label30", "Label29"}, {"Label20", "Label21"}})
                EXPECT_LT(w.findChild<QLabel*>(lo)->x(), w.findChild<QLabel*>(hi)->x()) << lo;
        };
        minimumEndsLeft();
        w.ComboLang->setCurrentIndex(1);
        w.ComboLang_Click();
        EXPECT_EQ(w.layoutDirection(), Qt::LeftToRight);
        EXPECT_EQ(w.cmdClose->geometry(), ltr);
        EXPECT_EQ(low->x(), 10);
        EXPECT_EQ(high->x(), 167);
        minimumEndsLeft();
        EXPECT_EQ(w.findChild<QLabel*>("Label30")->text(), QStringLiteral("Low (Faster)"));
    }
}

// In Arabic a left-to-right text keeps its reading order: its letters are drawn as in English,
// only at the other side. And every line of the about panel stands at the side the window reads
// from, in English at the left, in Arabic at the right.
TEST_F(WindowTest, LeftToRightTextsKeepTheirOrderAndEveryLineItsSide) {
    fx.copyShippedLanguages();
    fx.writeFile("Deployment.ini", "[Addresses]\nWebSite=https://audio.example.net/kv\n");
    frmMain w;
    ASSERT_TRUE(ShowLoaded(w));
    w.cmbMP3Freq->setCurrentIndex(8); // "44.1 KHz"
    // The part of each control that holds its text.
    const auto textPart = [](QWidget* c) {
        if (auto* combo = qobject_cast<QComboBox*>(c)) {
            QStyleOptionComboBox opt;
            opt.initFrom(combo);
            opt.frame = true;
            return c->style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                              QStyle::SC_ComboBoxEditField, c);
        }
        QStyleOptionButton opt;
        opt.initFrom(c);
        opt.text = static_cast<QAbstractButton*>(c)->text();
        return c->style()->subElementRect(QStyle::SE_RadioButtonContents, &opt, c);
    };
    const std::vector<QWidget*> texts = {w.optMP3CBR, w.optOGGVBR, w.cmbMP3CBitrate, w.cmbMP3Freq};
    std::vector<std::pair<QImage, QRect>> english;
    for (QWidget* c : texts)
        english.emplace_back(c->grab().toImage(), textPart(c));
    const std::vector<QLabel*> about = {
        w.findChild<QLabel*>("Label38"),   w.lblVer,
        w.findChild<QLabel*>("Label39"),   w.findChild<QLabel*>("Label40"),
        w.findChild<QLabel*>("lblRights"), w.lblWebSite};
    for (const char* language : {"English.ini", "Arabic.ini"}) {
        w.ComboLang->setCurrentIndex(w.ComboLang->findData(QString::fromLatin1(language)));
        w.ComboLang_Click();
        w.cmdAbout->click();
        FinishSliding(w);
        const QImage panel = w.frAbout->grab().toImage();
        for (QLabel* l : about) {
            const QRect ink = inkBox(panel, l->geometry());
            ASSERT_FALSE(ink.isEmpty()) << l->objectName().toStdString();
            const int gap = w.isRightToLeft() ? l->geometry().right() - ink.right()
                                              : ink.left() - l->geometry().left();
            EXPECT_LE(gap, 4) << language << " " << l->objectName().toStdString();
        }
        w.cmdCloseHelp->click();
        FinishSliding(w);
    }
    ASSERT_TRUE(w.isRightToLeft());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const QImage arabic = texts[i]->grab().toImage();
        const int letters = inkBox(english[i].first, english[i].second).width() *
                            inkBox(english[i].first, english[i].second).height();
        const QRect part = textPart(texts[i]);
        EXPECT_LT(inkDifference(english[i].first, english[i].second, arabic, part) +
                      inkDifference(arabic, part, english[i].first, english[i].second),
                  letters / 50)
            << texts[i]->objectName().toStdString();
    }
}

// The language list and the choice made at start-up, from the language folder and the stored
// choice. Each NAME.ini holds one caption, Convert All = NAME; a flag ending in "!" is no picture.
TEST_F(WindowTest, LanguageListAndChoiceAtStartUp) {
    const struct {
        const char* name;
        QString files;   // in Lang/
        QString stored;  // the stored choice; empty: none
        QString listed;  // the list's languages
        QString shown;   // the list's choice; "": any
        QString chosen;  // the file used and stored; "": any
        int flags;       // items with a flag; -1: any
        int boxes;       // boxes shown; -1: any
        QString box;     // the box's text; "": any
        QString convert; // the Convert All caption, in this window and the next; "": any
        bool leftToRight;
    } cases[] = {
        {"a stored file that is gone gives the first", "Arabic.ini English.ini", "Klingon.ini",
         "Arabic English", "Arabic", "Arabic.ini", -1, -1, "", "", false},
        {"nothing stored gives English", "Arabic.ini English.ini", "", "Arabic English", "English",
         "English.ini", -1, -1, "", "", true},
        {"flags pair with languages by position", "Arabic.ini English.ini Arabic.bmp English.bmp",
         "", "Arabic English", "", "", 2, 0, "", "", false},
        // Start-up goes on: English is still found and applied.
        {"a language without a flag is reported and the list keeps the earlier ones",
         "Arabic.ini English.ini German.ini a.bmp b.bmp", "", "Arabic English", "English", "", -1,
         1, "", "", false},
        // Neither English nor German may show the flag after the broken one.
        {"a flag that cannot be read stops the list",
         "Arabic.ini English.ini German.ini Arabic.bmp English.bmp! German.bmp", "", "Arabic", "",
         "", -1, 1, "Invalid picture: English.bmp", "", false},
        {"a file in capitals is read, stored and chosen again by its real name",
         "Deutsch.INI English.ini", "Deutsch.INI", "Deutsch English", "Deutsch", "Deutsch.INI", -1,
         -1, "", "Deutsch", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(fx.langFolder()).removeRecursively();
        kvtest::ClearUserSettings();
        for (QString name : c.files.split(' ')) {
            const bool broken = name.endsWith('!');
            name.remove('!');
            fx.writeFile("Lang/" + name,
                         name.endsWith(".bmp")
                             ? broken ? "BM not a picture" : bmp(20, 13)
                             : "[Kelvanto]\n10010=" + name.section('.', 0, 0).toUtf8() + "\n");
        }
        if (!c.stored.isEmpty())
            StoreLanguageSetting(c.stored);
        for (int run = 0; run < (c.convert.isEmpty() ? 1 : 2); ++run) {
            boxes.shown.clear();
            frmMain w;
            ASSERT_TRUE(w.load());
            QStringList listed;
            int flags = 0;
            for (int i = 0; i < w.ComboLang->count(); ++i) {
                listed << w.ComboLang->itemText(i);
                flags += !w.ComboLang->itemIcon(i).isNull();
            }
            EXPECT_EQ(listed.join(' '), c.listed);
            if (c.flags >= 0)
                EXPECT_EQ(flags, c.flags);
            if (!c.shown.isEmpty())
                EXPECT_EQ(w.ComboLang->currentText(), c.shown);
            if (!c.chosen.isEmpty()) {
                EXPECT_EQ(LanguageFile(), c.chosen);
                EXPECT_EQ(ReadLanguageSetting(), c.chosen);
            }
            if (!c.convert.isEmpty())
                EXPECT_EQ(w.cmdConvert->text(), c.convert);
            if (c.leftToRight)
                EXPECT_EQ(w.layoutDirection(), Qt::LeftToRight);
            if (c.boxes >= 0)
                ASSERT_EQ(boxes.shown.size(), size_t(c.boxes));
            if (c.boxes > 0)
                EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Kelvanto"));
            if (!c.box.isEmpty())
                EXPECT_EQ(boxes.shown[0].text, c.box);
            SetLanguageFile(QStringLiteral("English.ini"));
        }
    }
}

TEST_F(WindowTest, CloseRefusesWhileConvertingAndClosesAfterwards) {
    frmMain w;
    ASSERT_TRUE(w.load());
    w.show();
    QSignalSpy closing(&w, &frmMain::closing);
    w.IsConverting = true;
    w.cmdClose->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Please Stop Conversion first."));
    EXPECT_EQ(boxes.shown[0].title, QStringLiteral("Kelvanto"));
    EXPECT_EQ(boxes.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(boxes.shown[0].buttons, MsgButtons::Ok);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(closing.count(), 0);

    w.IsConverting = false;
    w.cmdClose->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(closing.count(), 1);
}

TEST_F(WindowTest, OtherWaysOfClosingNeverAskAndRunTheCloseSequenceOnce) {
    frmMain w;
    ASSERT_TRUE(w.load());
    w.show();
    QSignalSpy closing(&w, &frmMain::closing);
    w.IsConverting = true;
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(closing.count(), 1);
    w.close();
    EXPECT_EQ(closing.count(), 1);
}

TEST_F(WindowTest, DraggingTheMainPanelWithAnyButtonMovesTheWindow) {
    frmMain w;
    ASSERT_TRUE(w.load());
    w.move(100, 100);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton}) {
        const QPoint start = w.pos();
        // A label of the panel passes the press on to the panel.
        QWidget* on = w.findChild<QWidget*>(QStringLiteral("Label5"));
        const QPoint local(5, 5);
        QMouseEvent press(QEvent::MouseButtonPress, local, on->mapToGlobal(local), b, b,
                          Qt::NoModifier);
        QApplication::sendEvent(on, &press);
        const QPoint to = on->mapToGlobal(local) + QPoint(30, 20);
        QMouseEvent move(QEvent::MouseMove, w.frMain->mapFromGlobal(to), to, Qt::NoButton, b,
                         Qt::NoModifier);
        QApplication::sendEvent(w.frMain, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, w.frMain->mapFromGlobal(to), to, b,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w.frMain, &release);
        EXPECT_EQ(w.pos(), start + QPoint(30, 20)) << int(b);
    }
}

TEST_F(WindowTest, MinimizeButtonMinimizesTheWindow) {
    frmMain w;
    ASSERT_TRUE(w.load());
    w.show();
    w.cmdMinimize->click();
    EXPECT_TRUE(w.windowState() & Qt::WindowMinimized);
}
