#include "app/FormatSliders.h"

#include "app/frmMain.h"
#include "controls/PropertyBag.h"
#include "controls/Slider.h"
#include "ui/FramePanel.h"

#include <QLabel>

namespace kv {
namespace {

// RGB(r, g, b) as the 0x00BBGGRR word the bags hold.
constexpr quint32 rgb(quint32 r, quint32 g, quint32 b) {
    return r | g << 8 | b << 16;
}

struct DesignedSlider {
    const char* name;
    PropertyBag bag;
};

// Entries equal to their default are not stored.
const DesignedSlider kDesigned[] = {
    {"sliderWMA",
     {{QStringLiteral("min"), 0},
      {QStringLiteral("backcolor"), rgb(198, 235, 154)},
      {QStringLiteral("forecolor"), rgb(255, 0, 0)},
      {QStringLiteral("forecolor2"), rgb(0, 255, 0)},
      {QStringLiteral("snap"), true}}},
    {"sliderOGG",
     {{QStringLiteral("value"), 3},
      {QStringLiteral("max"), 10},
      {QStringLiteral("min"), -2},
      {QStringLiteral("backcolor"), rgb(192, 192, 255)},
      {QStringLiteral("forecolor"), rgb(255, 128, 255)},
      {QStringLiteral("forecolor2"), rgb(128, 128, 255)},
      {QStringLiteral("snap"), true}}},
    {"SliderMP3VBR",
     {{QStringLiteral("value"), 5},
      {QStringLiteral("max"), 9},
      {QStringLiteral("min"), 0},
      {QStringLiteral("backcolor"), rgb(198, 235, 154)},
      {QStringLiteral("forecolor"), rgb(255, 0, 0)},
      {QStringLiteral("forecolor2"), rgb(0, 255, 0)},
      {QStringLiteral("snap"), true}}},
    {"SliderMP3EncoderQuality",
     {{QStringLiteral("value"), 5},
      {QStringLiteral("max"), 9},
      {QStringLiteral("min"), 0},
      {QStringLiteral("backcolor"), rgb(198, 235, 154)},
      {QStringLiteral("forecolor"), rgb(255, 0, 0)},
      {QStringLiteral("forecolor2"), rgb(0, 255, 0)},
      {QStringLiteral("snap"), true}}},
};

Slider* create(const char* name, QWidget* panel, const QRect& rect, QLabel* echo) {
    auto* slider = new Slider(panel);
    slider->setObjectName(QString::fromLatin1(name));
    slider->ReadProperties(DesignedSliderBag(name));
    // The host applies the stored extent after the properties.
    slider->setGeometry(rect);
    if (echo) {
        echo->setText(QString::number(slider->value()));
        QObject::connect(slider, &Slider::Change, echo,
                         [slider, echo] { echo->setText(QString::number(slider->value())); });
    }
    return slider;
}

} // namespace

const PropertyBag& DesignedSliderBag(const char* name) {
    for (const DesignedSlider& d : kDesigned)
        if (qstrcmp(d.name, name) == 0)
            return d.bag;
    static const PropertyBag empty;
    return empty;
}

void CreateFormatSliders(frmMain& w) {
    w.sliderWMA = create("sliderWMA", w.frFormat[1], frmMain::kSliderWMARect, w.lblWMAQuality);
    w.SliderMP3VBR =
        create("SliderMP3VBR", w.frFormat[2], frmMain::kSliderMP3VBRRect, w.lblMP3VBREncodSlider);
    w.SliderMP3EncoderQuality = create("SliderMP3EncoderQuality", w.frFormat[2],
                                       frmMain::kSliderMP3EncoderQualityRect, w.lblMP3EncodSlider);
    w.sliderOGG = create("sliderOGG", w.frFormat[3], frmMain::kSliderOGGRect, w.lblSliderOGG);
}

} // namespace kv
