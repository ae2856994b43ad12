// The four format sliders of the main window: designed properties, theme, echo labels.
#include "app/FormatSliders.h"
#include "SliderEvents.h"
#include "TestSupport.h"
#include "app/frmMain.h"
#include "controls/PropertyBag.h"
#include "ui/FramePanel.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>

#include <gtest/gtest.h>

using kv::frmMain;
using kv::Slider;

namespace {

struct Designed {
    const char* name;
    int value, min, max;
    quint32 back, fore, fore2;
    QSize size;
    int panel;
};

constexpr quint32 rgb(quint32 r, quint32 g, quint32 b) {
    return r | g << 8 | b << 16;
}

const Designed kDesigned[] = {
    {"sliderWMA", 50, 0, 100, rgb(198, 235, 154), rgb(255, 0, 0), rgb(0, 255, 0), {372, 20}, 1},
    {"sliderOGG",
     3,
     -2,
     10,
     rgb(192, 192, 255),
     rgb(255, 128, 255),
     rgb(128, 128, 255),
     {217, 20},
     3},
    {"SliderMP3VBR", 5, 0, 9, rgb(198, 235, 154), rgb(255, 0, 0), rgb(0, 255, 0), {195, 20}, 2},
    {"SliderMP3EncoderQuality",
     5,
     0,
     9,
     rgb(198, 235, 154),
     rgb(255, 0, 0),
     rgb(0, 255, 0),
     {208, 20},
     2},
};

QRgb px(const QImage& img, int x, int y) {
    return img.pixel(x, y) | 0xFF000000u;
}

TEST(FormatSliders, DesignedBagsGiveTheDesignedControls) {
    for (const Designed& d : kDesigned) {
        SCOPED_TRACE(d.name);
        Slider s;
        EXPECT_TRUE(s.ReadProperties(kv::DesignedSliderBag(d.name)));
        EXPECT_EQ(s.value(), d.value);
        EXPECT_EQ(s.min(), d.min);
        EXPECT_EQ(s.max(), d.max);
        EXPECT_EQ(s.backColor(), d.back);
        EXPECT_EQ(s.foreColor(), d.fore);
        EXPECT_EQ(s.foreColor2(), d.fore2);
        EXPECT_TRUE(s.snap());
        EXPECT_TRUE(s.isEnabled());
        EXPECT_EQ(s.style(), 0);
        // Writing the control back gives the designed bag again.
        kv::PropertyBag written;
        s.WriteProperties(written);
        EXPECT_EQ(written.names(), kv::DesignedSliderBag(d.name).names());
    }
    // sliderWMA stores only its Min of the range; Value and Max are the defaults.
    const kv::PropertyBag& wma = kv::DesignedSliderBag("sliderWMA");
    EXPECT_TRUE(wma.contains(QStringLiteral("min")));
    EXPECT_FALSE(wma.contains(QStringLiteral("value")));
    EXPECT_FALSE(wma.contains(QStringLiteral("max")));
}

TEST(FormatSliders, PlacedOnTheirPanelsBesideTheirLabels) {
    frmMain w;
    const std::pair<Slider*, QLabel*> pairs[] = {{w.sliderWMA, w.lblWMAQuality},
                                                 {w.sliderOGG, w.lblSliderOGG},
                                                 {w.SliderMP3VBR, w.lblMP3VBREncodSlider},
                                                 {w.SliderMP3EncoderQuality, w.lblMP3EncodSlider}};
    for (std::size_t i = 0; i < std::size(kDesigned); ++i) {
        const Designed& d = kDesigned[i];
        SCOPED_TRACE(d.name);
        Slider* s = pairs[i].first;
        QLabel* echo = pairs[i].second;
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->objectName(), QString::fromLatin1(d.name));
        EXPECT_EQ(w.findChild<Slider*>(QString::fromLatin1(d.name)), s);
        EXPECT_EQ(s->parentWidget(), w.frFormat[d.panel]);
        EXPECT_EQ(s->size(), d.size);
        EXPECT_EQ(s->value(), d.value);
        EXPECT_EQ(echo->text(), QString::number(d.value));
        // Inside its panel and clear of its echo label.
        EXPECT_TRUE(w.frFormat[d.panel]->rect().contains(s->geometry()));
        EXPECT_FALSE(s->geometry().intersects(echo->geometry()));
    }
}

TEST(FormatSliders, ChangeUpdatesTheEchoLabel) {
    frmMain w;
    w.sliderWMA->setValue(73);
    EXPECT_EQ(w.lblWMAQuality->text(), QStringLiteral("73"));
    w.sliderOGG->setValue(-50);
    EXPECT_EQ(w.lblSliderOGG->text(), QStringLiteral("-2"));
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QCoreApplication::sendEvent(w.SliderMP3VBR, &right);
    EXPECT_EQ(w.lblMP3VBREncodSlider->text(), QStringLiteral("6"));
    w.SliderMP3EncoderQuality->setValue(0);
    EXPECT_EQ(w.lblMP3EncodSlider->text(), QStringLiteral("0"));
}

class ThemedWindow : public ::testing::Test {
protected:
    void SetUp() override {
        folder.copyShippedLanguages();
        window = std::make_unique<frmMain>();
        ASSERT_TRUE(window->load());
    }
    std::vector<Slider*> sliders() const {
        return {window->sliderWMA, window->sliderOGG, window->SliderMP3VBR,
                window->SliderMP3EncoderQuality};
    }
    kvtest::RecordingMessageBoxes boxes;
    kvtest::ProgramFolderFixture folder;
    std::unique_ptr<frmMain> window;
};

TEST_F(ThemedWindow, ThemeColoursReadBack) {
    for (Slider* s : sliders()) {
        SCOPED_TRACE(s->objectName().toStdString());
        EXPECT_EQ(s->property("ForeColor").toUInt(), 0x00FF80FFu);
        EXPECT_EQ(s->property("BackColor").toUInt(), 0x00FFC0FFu);
        EXPECT_EQ(s->property("ForeColor2").toUInt(), 0x00FFC0FFu);
    }
    EXPECT_EQ(window->sliderOGG->value(), 3);
    EXPECT_EQ(window->sliderWMA->min(), 0);
}

TEST_F(ThemedWindow, ThemedGrooveOnScreen) {
    // The handle's left edge follows the value; the fill blends from RGB(255, 128, 255) at Min
    // to RGB(255, 192, 255) at Max, the empty part is RGB(255, 192, 255).
    const struct {
        Slider* slider;
        int handle, green;
    } cases[] = {
        {window->sliderWMA, 174, 160},               // 50 of 0..100, 372 pixels wide
        {window->sliderOGG, 83, 155},                // 3 of -2..10, 217 wide: green 154.67
        {window->SliderMP3VBR, 94, 164},             // 5 of 0..9, 195 wide: green 163.56
        {window->SliderMP3EncoderQuality, 102, 164}, // 5 of 0..9, 208 wide
    };
    const QRgb empty = qRgb(255, 192, 255);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slider->objectName().toStdString());
        const QImage shown = c.slider->grab().toImage();
        ASSERT_EQ(shown.size(), c.slider->size());
        const QRgb fill = qRgb(255, c.green, 255);
        for (int y = 6; y <= 12; ++y) {
            EXPECT_EQ(px(shown, 11, y), fill) << y;
            EXPECT_EQ(px(shown, c.handle - 1, y), fill) << y;
            EXPECT_NE(px(shown, c.handle, y), fill) << y; // the handle, 19 pixels wide
            EXPECT_NE(px(shown, c.handle + 18, y), empty) << y;
            EXPECT_EQ(px(shown, c.handle + 19, y), empty) << y;
            EXPECT_EQ(px(shown, shown.width() - 15, y), empty) << y;
        }
    }
}

} // namespace
