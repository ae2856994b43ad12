// The sliding panels, the theme, the about panel, the manual and Qt's own texts on the real
// window. The animation is driven by its ticks, never by the clock.
#include "Sliding.h"
#include "TestSupport.h"

#include "controls/Slider.h"
#include "lang/Captions.h"
#include "lang/LanguageList.h"
#include "lang/QtTranslations.h"
#include "ui/Colors.h"
#include "ui/DesktopOpener.h"
#include "ui/FramePanel.h"
#include "ui/MyButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSet>
#include <QSpinBox>
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
        fx.writeFile(QStringLiteral("Deployment.ini"),
                     "[Addresses]\nWebSite=https://audio.example.net/kv?from=about\n");
        ASSERT_TRUE(w.load());
    }
    void TearDown() override { InstallQtTranslations(QStringLiteral("English.ini")); }
    // One tick: the top it left in twips and the interval it set.
    std::pair<int, int> tick(QWidget* panel) {
        w.animation()->Tick();
        return {w.animation()->TopTwips(panel), w.tmrAnimate->interval()};
    }
    std::vector<std::pair<int, int>> ticksToTheEnd(QWidget* panel) {
        std::vector<std::pair<int, int>> seen;
        while (w.tmrAnimate->isActive() && seen.size() < 100)
            seen.push_back(tick(panel));
        return seen;
    }
    kvtest::ProgramFolderFixture fx;
    kvtest::RecordingMessageBoxes boxes;
    RecordingOpener opener;
    frmMain w;
};

constexpr int kParked = 577 * 15;

} // namespace

TEST_F(Panels, EachPanelRisesSlowsDownStopsAndSinksToTheWindowsHeightInTwips) {
    std::vector<std::pair<int, int>> up, down;
    for (int top = kParked - 300; top >= 2955; top -= 300)
        up.push_back({top, 10});
    up.insert(up.end(), {{2805, 10}, {2730, 20}, {2655, 40}, {2580, 40}, {2715, 40}});
    for (int top = 3215; top <= 8715; top += 500)
        down.push_back({top, 5});
    down.push_back({kParked, 5}); // the overshoot of the last step is taken back
    for (auto [open, close, panel] :
         {std::tuple<MyButton*, MyButton*, QWidget*>{w.cmdAbout, w.cmdCloseHelp, w.frAbout},
          {w.cmdChangeFormat, w.cmdHide, w.frFormats}}) {
        SCOPED_TRACE(panel->objectName().toStdString());
        open->click();
        EXPECT_FALSE(w.frMain->isActive());
        EXPECT_EQ(ticksToTheEnd(panel), up);
        EXPECT_EQ(panel->y(), 181);
        EXPECT_FALSE(w.frMain->isActive());
        close->click();
        EXPECT_EQ(ticksToTheEnd(panel), down);
        EXPECT_EQ(panel->y(), 577);
        EXPECT_TRUE(w.frMain->isActive());
    }
}

TEST_F(Panels, OneRiseForQuickClicksAReversalAndNoInputToTheCoveredWindow) {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.cmdAbout->click();
    for (int i = 0; i < 4; ++i) {
        tick(w.frAbout);
        w.cmdAbout->click(); // ignored while the timer runs, and so is the other panel's
        w.cmdChangeFormat->click();
    }
    EXPECT_EQ(w.animation()->oMoveFrame, w.frAbout);
    EXPECT_EQ(w.frFormats->y(), 577);
    // Closed while rising: it sinks from where it is, past the edge, then back onto it.
    w.cmdCloseHelp->click();
    const std::vector<std::pair<int, int>> back = {
        {kParked - 700, 5}, {kParked - 200, 5}, {kParked + 300, 5}, {kParked, 5}};
    EXPECT_EQ(ticksToTheEnd(w.frAbout), back);
    EXPECT_TRUE(w.frMain->isActive());

    // While the options panel is up, clicks and keys on the window below do nothing.
    w.cmdChangeFormat->click();
    FinishSliding(w);
    QTest::mouseClick(w.cmdConvert, Qt::LeftButton); // would say the list is empty
    QTest::mouseClick(w.cmdAbout, Qt::LeftButton);
    QTest::keyClick(w.chkShutdown, Qt::Key_Space);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(w.tmrAnimate->isActive());
    EXPECT_FALSE(w.chkShutdown->isChecked());
    QTest::mouseClick(w.optFileFormat[0], Qt::LeftButton);
    QTest::mouseClick(w.cmdHide, Qt::LeftButton);
    FinishSliding(w);
    EXPECT_EQ(w.lblFormat->text(), QStringLiteral("WAV, Bitrate will be as input"));
    QTest::mouseClick(w.cmdConvert, Qt::LeftButton);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

// Tab walks only the controls in sight: never those of a parked panel, and while a panel is up,
// only that panel's. A panel that sinks gives the keyboard back to the button that opened it.
TEST_F(Panels, TheKeyboardReachesOnlyThePanelInSight) {
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const struct {
        MyButton *open, *close;
        QWidget *panel, *start, *reached;
    } rows[] = {
        {nullptr, nullptr, w.frMain, w.txtOutPath, w.cmdConvert},
        {w.cmdChangeFormat, w.cmdHide, w.frFormats, w.cmdHide, w.spnSimultaneous},
        {w.cmdAbout, w.cmdCloseHelp, w.frAbout, w.cmdCloseHelp, w.cmdCloseHelp},
        {nullptr, nullptr, w.frMain, w.cmdConvert, w.txtOutPath},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.panel->objectName().toStdString());
        if (row.open) {
            row.open->setFocus();
            QTest::keyClick(row.open, Qt::Key_Space);
            FinishSliding(w);
        }
        row.start->setFocus();
        QSet<QWidget*> seen;
        for (int i = 0; i < 80 && w.focusWidget(); ++i) {
            QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
            seen.insert(w.focusWidget());
            EXPECT_TRUE(row.panel->isAncestorOf(w.focusWidget()))
                << w.focusWidget()->objectName().toStdString();
        }
        EXPECT_TRUE(seen.contains(row.reached));
        if (row.close) {
            QTest::keyClick(row.close, Qt::Key_Space);
            FinishSliding(w);
            EXPECT_EQ(w.focusWidget(), row.open);
        }
    }
}

TEST_F(Panels, ThemeColoursEveryKindOfControl) {
    const QColor c1(255, 192, 255), c2(255, 128, 255), c3(128, 0, 128), c4(64, 0, 64);
    EXPECT_EQ(w.theme.lThemeColor1, ToBgr(c1));
    EXPECT_EQ(w.theme.lThemeColor4, ToBgr(c4));
    const FramePanel designed;
    const std::vector<std::pair<const char*, QColor>> panel = {
        {"BodyColorBottomLeft", c1}, {"BodyColorBottomRight", c2},
        {"BodyColorTopLeft", c1},    {"BorderColor", c3},
        {"ForeColor", c4},           {"HeaderColorBottomLeft", c3},
        {"HeaderColorTopLeft", c2}};
    for (const auto& [name, colour] : panel) {
        for (QWidget* p : {w.frMain, w.frAbout, w.frFormats, w.frFormat[3]})
            EXPECT_EQ(p->property(name).value<QColor>(), colour) << name;
        // The header strip keeps its designed colours (its text is white by design).
        EXPECT_EQ(w.MyFrame1->property(name), QByteArray(name) == "ForeColor"
                                                  ? QVariant(QColor(Qt::white))
                                                  : designed.property(name))
            << name;
    }
    for (const char* name :
         {"BackColor", "BackColorDisabled", "BackColorFocus", "BorderColor", "ToolTipBackColor"})
        for (QWidget* b : {w.cmdConvert, w.cmdHide, w.cmdCloseHelp, w.MyButton1})
            EXPECT_EQ(b->property(name).value<QColor>(), c1) << name;
    const std::vector<std::tuple<QWidget*, QPalette::ColorRole, QColor>> palettes = {
        {w.txtOutPath, QPalette::Base, c1},
        {w.txtWMATags[7], QPalette::Base, c1},
        {w.Grid, QPalette::Base, c1},
        {w.cmbMP3Freq, QPalette::Base, c1},
        {w.cmbOGGVBitrate, QPalette::Button, c1},
        {w.lblFormat, QPalette::WindowText, c4},
        {w.findChild<QFrame*>(QStringLiteral("Line1")), QPalette::WindowText, c4},
        // The flag picker and the option buttons keep the style's colours.
        {w.ComboLang, QPalette::Base, QComboBox().palette().color(QPalette::Base)},
        {w.chkShutdown, QPalette::WindowText, QCheckBox().palette().color(QPalette::WindowText)}};
    for (const auto& [control, role, colour] : palettes)
        EXPECT_EQ(control->palette().color(role), colour) << control->objectName().toStdString();
    for (Slider* s : {w.sliderWMA, w.sliderOGG, w.SliderMP3VBR, w.SliderMP3EncoderQuality}) {
        EXPECT_EQ(s->foreColor(), 0x00FF80FFu);
        EXPECT_EQ(s->backColor(), 0x00FFC0FFu);
        EXPECT_EQ(s->foreColor2(), 0x00FFC0FFu);
    }
}

TEST_F(Panels, AboutPanelAddressAndHelpButtonGoToTheDesktop) {
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("Label38"))->text(), QStringLiteral("Kelvanto"));
    EXPECT_TRUE(w.findChild<QLabel*>(QStringLiteral("Label39"))->text().startsWith("Kelvanto is"));
    EXPECT_FALSE(w.findChild<QLabel*>(QStringLiteral("Picture1"))->pixmap().isNull());
    // The packager's address, read at load; a real click on it opens it.
    EXPECT_EQ(w.lblWebSite->text(), QStringLiteral("https://audio.example.net/kv?from=about"));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    w.cmdAbout->click();
    FinishSliding(w);
    QTest::mouseClick(w.lblWebSite, Qt::LeftButton);
    w.cmdCloseHelp->click();
    FinishSliding(w);
    // The manual of the program folder, also when it is missing, and never a message.
    w.MyButton1->click();
    const QList<QUrl> expected = {
        QUrl(QStringLiteral("https://audio.example.net/kv?from=about")),
        QUrl::fromLocalFile(fx.path() + QStringLiteral("/Help/index.html"))};
    EXPECT_EQ(opener.opened, expected);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Panels, MessageBoxButtonsSpeakTheChosenLanguage) {
    const std::vector<std::tuple<QString, QString, QString>> cases = {
        {QStringLiteral("German.ini"), QStringLiteral("de"), QStringLiteral("&Ja")},
        {QStringLiteral("French.ini"), QStringLiteral("fr"), QStringLiteral("&Oui")},
        {QStringLiteral("Spanish.ini"), QStringLiteral("es"), QString::fromUtf8("&S\xC3\xAD")},
        {QStringLiteral("Italian.ini"), QStringLiteral("it"), QString::fromUtf8("&S\xC3\xAC")},
        {QStringLiteral("Arabic.ini"), QStringLiteral("ar"),
         QString::fromUtf8("&\xD9\x86\xD8\xB9\xD9\x85")},
        {QStringLiteral("English.ini"), QString(), QStringLiteral("&Yes")}};
    QStringList mapped;
    for (const auto& [file, locale, yes] : cases) {
        EXPECT_EQ(LocaleOfLanguageFile(file.toUpper()), locale);
        w.ComboLang->setCurrentIndex(w.ComboLang->findData(file));
        w.ComboLang_Click();
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(box.button(QMessageBox::Yes)->text(), yes) << file.toStdString();
        EXPECT_EQ(w.layoutDirection() == Qt::RightToLeft, locale == QStringLiteral("ar"));
        mapped << file;
    }
    // Every language the program ships has its locale.
    for (const QString& file : ListLanguageFolder(LanguageFolder()).files)
        EXPECT_TRUE(mapped.contains(file)) << file.toStdString();
}
