// The sliding panels, the theme, the about panel, the manual and Qt's own texts on the real
// window. The animation is driven by its ticks, never by the clock.
#include "Sliding.h"
#include "TestSupport.h"

#include "controls/Slider.h"
#include "lang/Captions.h"
#include "lang/LanguageList.h"
#include "lang/QtTranslations.h"
#include "settings/ProgramFolder.h"
#include "ui/DesktopOpener.h"
#include "ui/FramePanel.h"
#include "ui/MyButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace kv;

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

class Panels : public ::testing::Test {
protected:
    void SetUp() override {
        fx.copyShippedLanguages();
        ASSERT_TRUE(w.load());
    }
    void TearDown() override {
        SetLanguageFile(QStringLiteral("English.ini"));
        InstallQtTranslations(QStringLiteral("English.ini"));
    }
    // One tick; the top it left in twips and the interval it set.
    std::pair<int, int> tick(QWidget* panel) {
        w.animation()->Tick();
        return {w.animation()->TopTwips(panel), w.tmrAnimate->interval()};
    }
    kvtest::ProgramFolderFixture fx;
    kvtest::RecordingMessageBoxes boxes;
    RecordingOpener opener;
    frmMain w;
};

constexpr int kParked = 577 * 15;

} // namespace

TEST_F(Panels, EachPanelRisesInTwipsStepsSlowsDownAndStopsAtItsOpenTop) {
    // 300 twips every 10 ms down to 2955, then 150 every 20 ms, 75 every 40 ms, and the stop
    // at 2715 once the top is under 2650.
    std::vector<std::pair<int, int>> expected;
    for (int top = kParked - 300; top >= 2955; top -= 300)
        expected.push_back({top, 10});
    expected.insert(expected.end(), {{2805, 10}, {2730, 20}, {2655, 40}, {2580, 40}, {2715, 40}});
    for (auto [opening, panel] :
         {std::pair{w.cmdAbout, static_cast<QWidget*>(w.frAbout)},
          std::pair{w.cmdChangeFormat, static_cast<QWidget*>(w.frFormats)}}) {
        SCOPED_TRACE(panel->objectName().toStdString());
        ASSERT_EQ(panel->y(), 577);
        opening->click();
        EXPECT_TRUE(w.tmrAnimate->isActive());
        EXPECT_FALSE(w.frMain->isActive());
        std::vector<std::pair<int, int>> seen;
        while (w.tmrAnimate->isActive() && seen.size() < 100)
            seen.push_back(tick(panel));
        EXPECT_EQ(seen, expected);
        EXPECT_EQ(panel->y(), 181);
        EXPECT_FALSE(w.frMain->isActive());

        // Down again: 500 twips every 5 ms, the last step overshoots and the panel is put
        // exactly at the window's height.
        (panel == w.frAbout ? w.cmdCloseHelp : w.cmdHide)->click();
        seen.clear();
        while (w.tmrAnimate->isActive() && seen.size() < 100)
            seen.push_back(tick(panel));
        ASSERT_EQ(seen.size(), 13u);
        for (int i = 0; i < 12; ++i)
            EXPECT_EQ(seen[i], std::make_pair(2715 + 500 * (i + 1), 5));
        EXPECT_EQ(seen.back(), std::make_pair(kParked, 5));
        EXPECT_EQ(panel->y(), w.height());
        EXPECT_TRUE(w.frMain->isActive());
    }
}

TEST_F(Panels, ClosingDuringTheRiseReversesFromWhereThePanelIs) {
    w.cmdAbout->click();
    for (int i = 0; i < 4; ++i)
        tick(w.frAbout);
    ASSERT_EQ(w.animation()->TopTwips(w.frAbout), kParked - 1200);
    w.cmdCloseHelp->click();
    EXPECT_EQ(w.animation()->sMoveObject, QStringLiteral("Edit Frame 2 Down"));
    EXPECT_EQ(tick(w.frAbout), std::make_pair(kParked - 700, 5));
    EXPECT_EQ(tick(w.frAbout), std::make_pair(kParked - 200, 5));
    EXPECT_EQ(tick(w.frAbout), std::make_pair(kParked + 300, 5));
    EXPECT_EQ(w.frAbout->y(), 597); // the overshoot is placed...
    EXPECT_EQ(tick(w.frAbout), std::make_pair(kParked, 5));
    EXPECT_EQ(w.frAbout->y(), 577); // ...and taken back by the stop
    EXPECT_FALSE(w.tmrAnimate->isActive());
    EXPECT_TRUE(w.frMain->isActive());
}

TEST_F(Panels, OpeningClicksWhileTheTimerRunsAreIgnored) {
    w.cmdAbout->click();
    tick(w.frAbout);
    w.cmdAbout->click();
    w.cmdChangeFormat->click();
    EXPECT_EQ(w.animation()->oMoveFrame, w.frAbout);
    EXPECT_EQ(w.animation()->iMoveStep, 300);
    EXPECT_EQ(tick(w.frAbout), std::make_pair(kParked - 600, 10));
    EXPECT_EQ(w.frFormats->y(), 577);
    // Once the about panel is up the timer is idle again, but the opening buttons are on
    // the main panel, which takes no input: a real click reaches neither.
    FinishSliding(w);
    QTest::mouseClick(w.cmdChangeFormat, Qt::LeftButton);
    EXPECT_FALSE(w.tmrAnimate->isActive());
    EXPECT_EQ(w.frFormats->y(), 577);
}

TEST_F(Panels, TheMainPanelTakesNoInputWhileAPanelIsUp) {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.cmdChangeFormat->click();
    FinishSliding(w);
    // "Convert All" on an empty list answers with a box, but not while it is covered.
    QTest::mouseClick(w.cmdConvert, Qt::LeftButton);
    QTest::keyClick(w.chkShutdown, Qt::Key_Space);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(w.chkShutdown->isChecked());
    // The panel itself takes input.
    QTest::mouseClick(w.optFileFormat[0], Qt::LeftButton);
    EXPECT_TRUE(w.optFileFormat[0]->isChecked());
    QTest::mouseClick(w.cmdHide, Qt::LeftButton);
    FinishSliding(w);
    EXPECT_EQ(w.lblFormat->text(), QStringLiteral("WAV, Bitrate will be as input"));
    QTest::mouseClick(w.cmdConvert, Qt::LeftButton);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("The list is empty, Please add Audio files from step 1"));
}

TEST_F(Panels, ThemeColoursEveryKindOfControl) {
    const QColor c1(255, 192, 255), c2(255, 128, 255), c3(128, 0, 128), c4(64, 0, 64);
    EXPECT_EQ(w.theme.lThemeColor1, 0x00FFC0FFu);
    EXPECT_EQ(w.theme.lThemeColor2, 0x00FF80FFu);
    EXPECT_EQ(w.theme.lThemeColor3, 0x00800080u);
    EXPECT_EQ(w.theme.lThemeColor4, 0x00400040u);
    const FramePanel designed;
    struct Case {
        QWidget* control;
        const char* property; // a colour property, or a palette role below
        QPalette::ColorRole role;
        QColor expected;
    };
    const QPalette::ColorRole none = QPalette::NColorRoles;
    const std::vector<Case> cases = {
        {w.frAbout, "BodyColorTopLeft", none, c1},
        {w.frAbout, "BodyColorBottomLeft", none, c1},
        {w.frAbout, "BodyColorBottomRight", none, c2},
        {w.frAbout, "BorderColor", none, c3},
        {w.frAbout, "ForeColor", none, c4},
        {w.frAbout, "HeaderColorBottomLeft", none, c3},
        {w.frAbout, "HeaderColorTopLeft", none, c2},
        {w.frFormat[2], "BodyColorBottomRight", none, c2},
        {w.frMain, "HeaderColorTopLeft", none, c2},
        {w.MyFrame1, "BodyColorTopLeft", none,
         designed.property("BodyColorTopLeft").value<QColor>()},
        {w.MyFrame1, "HeaderColorTopLeft", none,
         designed.property("HeaderColorTopLeft").value<QColor>()},
        {w.MyFrame1, "ForeColor", none, Qt::white},
        {w.cmdConvert, "BackColor", none, c1},
        {w.cmdHide, "BackColorDisabled", none, c1},
        {w.cmdCloseHelp, "BackColorFocus", none, c1},
        {w.MyButton1, "BorderColor", none, c1},
        {w.cmdAbout, "ToolTipBackColor", none, c1},
        {w.txtOutPath, nullptr, QPalette::Base, c1},
        {w.txtWMATags[7], nullptr, QPalette::Base, c1},
        {w.Grid, nullptr, QPalette::Base, c1},
        {w.cmbMP3Freq, nullptr, QPalette::Base, c1},
        {w.cmbOGGVBitrate, nullptr, QPalette::Button, c1},
        {w.lblFormat, nullptr, QPalette::WindowText, c4},
        {w.lblVer, nullptr, QPalette::WindowText, c4},
        {w.findChild<QFrame*>(QStringLiteral("Line1")), nullptr, QPalette::WindowText, c4},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.control, nullptr);
        SCOPED_TRACE(c.control->objectName().toStdString() + " " +
                     (c.property ? c.property : "palette"));
        const QColor got = c.property ? c.control->property(c.property).value<QColor>()
                                      : c.control->palette().color(c.role);
        EXPECT_EQ(got, c.expected);
    }
    // The flag picker and the option buttons keep the style's colours.
    const QComboBox plainCombo;
    EXPECT_EQ(w.ComboLang->palette().color(QPalette::Base),
              plainCombo.palette().color(QPalette::Base));
    EXPECT_EQ(w.chkShutdown->palette().color(QPalette::WindowText),
              QCheckBox().palette().color(QPalette::WindowText));
    // Every slider, whatever it was designed with.
    for (Slider* s : {w.sliderWMA, w.sliderOGG, w.SliderMP3VBR, w.SliderMP3EncoderQuality}) {
        EXPECT_EQ(s->property("ForeColor").toUInt(), 0x00FF80FFu);
        EXPECT_EQ(s->property("BackColor").toUInt(), 0x00FFC0FFu);
        EXPECT_EQ(s->property("ForeColor2").toUInt(), 0x00FFC0FFu);
    }
}

TEST_F(Panels, AboutPanelShowsTheProductTheVersionAndTheDeploymentsAddress) {
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("Label38"))->text(), QStringLiteral("Kelvanto"));
    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("Label39"))
                    ->text()
                    .startsWith(QStringLiteral("Kelvanto is an easy to use tool")));
    EXPECT_FALSE(w.findChild<QLabel*>(QStringLiteral("Picture1"))->pixmap().isNull());
    EXPECT_EQ(w.lblVer->text(), QStringLiteral("%1.%2.0.%3")
                                    .arg(KV_VERSION_MAJOR)
                                    .arg(KV_VERSION_MINOR)
                                    .arg(KV_VERSION_REVISION));

    // A packager's address, read when the window loads; a click hands it to the desktop.
    fx.writeFile(QStringLiteral("Deployment.ini"),
                 "[Addresses]\nWebSite=https://audio.example.net/kelvanto?from=about\n");
    frmMain other;
    ASSERT_TRUE(other.load());
    EXPECT_EQ(other.lblWebSite->text(),
              QStringLiteral("https://audio.example.net/kelvanto?from=about"));
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    other.cmdAbout->click();
    FinishSliding(other);
    QTest::mouseClick(other.lblWebSite, Qt::LeftButton);
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened[0],
              QUrl(QStringLiteral("https://audio.example.net/kelvanto?from=about")));
}

TEST_F(Panels, HelpButtonOpensTheManualOfTheProgramFolder) {
    fx.writeFile(QStringLiteral("Help/index.html"), "<html></html>");
    w.MyButton1->click();
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_TRUE(opener.opened[0].isLocalFile());
    EXPECT_EQ(opener.opened[0].toLocalFile(), fx.path() + QStringLiteral("/Help/index.html"));
    // A missing manual is still handed over, and nothing is said.
    QFile::remove(fx.path() + QStringLiteral("/Help/index.html"));
    w.MyButton1->click();
    EXPECT_EQ(opener.opened.size(), 2);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Panels, MessageBoxButtonsSpeakTheChosenLanguage) {
    // The Yes button of a real message box, and the locale each shipped file maps to.
    const std::vector<std::tuple<QString, QString, QString>> cases = {
        {QStringLiteral("German.ini"), QStringLiteral("de"), QStringLiteral("&Ja")},
        {QStringLiteral("French.ini"), QStringLiteral("fr"), QStringLiteral("&Oui")},
        {QStringLiteral("Spanish.ini"), QStringLiteral("es"), QString::fromUtf8("&S\xC3\xAD")},
        {QStringLiteral("Italian.ini"), QStringLiteral("it"), QString::fromUtf8("&S\xC3\xAC")},
        {QStringLiteral("Arabic.ini"), QStringLiteral("ar"),
         QString::fromUtf8("&\xD9\x86\xD8\xB9\xD9\x85")},
        {QStringLiteral("English.ini"), QString(), QStringLiteral("&Yes")},
    };
    QStringList mapped;
    for (const auto& [file, locale, yes] : cases) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_EQ(LocaleOfLanguageFile(file), locale);
        EXPECT_EQ(LocaleOfLanguageFile(file.toUpper()), locale);
        w.ComboLang->setCurrentIndex(w.ComboLang->findData(file));
        w.ComboLang_Click();
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), yes);
        EXPECT_EQ(w.layoutDirection() == Qt::RightToLeft, locale == QStringLiteral("ar"));
        mapped << file;
    }
    // Every language the program ships is in the table above.
    for (const QString& file : ListLanguageFolder(LanguageFolder()).files)
        EXPECT_TRUE(mapped.contains(file)) << file.toStdString();
}
