#include "app/FormatPages.h"

#include "controls/Slider.h"
#include "ui/FramePanel.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>

#include <algorithm>

namespace kv {
namespace {

// Every page has one look: the Ogg page's colours.
constexpr quint32 rgb(quint32 r, quint32 g, quint32 b) {
    return r | g << 8 | b << 16;
}

// Places inside a page.
constexpr QRect kTitle{10, 10, 399, 20};
constexpr QRect kSlider{10, 36, 300, 20};
constexpr QRect kEcho{314, 37, 95, 18};
constexpr QRect kLow{10, 60, 145, 18};
constexpr QRect kHigh{165, 60, 145, 18};
constexpr QRect kNote{10, 86, 399, 72};

int nearestStep(const Format::Page& page, int value) {
    const int steps = (value - page.min + page.step / 2) / page.step;
    return std::clamp(page.min + steps * page.step, page.min, page.max);
}

// The arrow keys move the slider by its page's step instead of by one.
class StepKeys : public QObject {
public:
    StepKeys(Slider* slider, const Format::Page& page) : QObject(slider), page_(page) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Left && key != Qt::Key_Right)
            return false;
        auto* slider = static_cast<Slider*>(watched);
        slider->setValue(SteppedValue(page_, slider->value(), key == Qt::Key_Left ? -1 : 1));
        Q_EMIT slider->Scroll();
        return true;
    }

private:
    Format::Page page_;
};

QLabel* pageLabel(const Format& format, const char* role, QWidget* parent, const QRect& at,
                  const PlaceControl& place) {
    auto* l = new QLabel(parent);
    l->setWordWrap(at.height() > 24);
    place(l, FormatPageLabelName(format, role), at);
    return l;
}

} // namespace

QString FormatPageLabelName(const Format& format, const char* role) {
    return QStringLiteral("lbl") + format.name() + QString::fromLatin1(role);
}

int SteppedValue(const Format::Page& page, int value, int direction) {
    const int from = std::clamp(value, page.min, page.max) - page.min;
    // The grid point below (or at) the value, then one step on unless the value lay between.
    int steps = from / page.step;
    if (direction > 0)
        ++steps;
    else if (from % page.step == 0)
        --steps;
    return std::clamp(page.min + steps * page.step, page.min, page.max);
}

FormatPageControls BuildFormatPage(const Format& format, QWidget* parent, const QRect& rect,
                                   const PlaceControl& place) {
    const Format::Page page = format.page();
    FormatPageControls c;
    c.format = &format;
    c.panel = new FramePanel(parent);
    place(c.panel, QStringLiteral("frFormat") + format.name(), rect);
    QWidget* p = c.panel;

    pageLabel(format, "Title", p, kTitle, place);
    c.slider = new Slider(p);
    c.slider->setMin(page.min);
    c.slider->setMax(page.max);
    c.slider->setBackColor(rgb(192, 192, 255));
    c.slider->setForeColor(rgb(255, 128, 255));
    c.slider->setForeColor2(rgb(128, 128, 255));
    c.slider->setSnap(true);
    place(c.slider, QString::fromLatin1(EntryOf(page.slider).name), kSlider);
    c.echo = pageLabel(format, "Value", p, kEcho, place);
    const QString unit = page.unit ? QLatin1Char(' ') + QString::fromLatin1(page.unit) : QString();
    Slider* slider = c.slider;
    QLabel* echo = c.echo;
    QObject::connect(slider, &Slider::Change, echo, [slider, echo, unit] {
        echo->setText(QString::number(slider->value()) + unit);
    });
    c.slider->setValue(OutputSettings().number(page.slider));

    // The pointer lands on the nearest step; a stored value off the grid stays until moved.
    slider->installEventFilter(new StepKeys(slider, page));
    QObject::connect(slider, &Slider::DblClick, slider,
                     [page](int& value) { value = nearestStep(page, value); });
    QObject::connect(slider, &Slider::MouseUp, slider,
                     [slider, page](short& button, short&, float&, float&) {
                         if (button == 1 && slider->handleFromPointer())
                             slider->setValue(nearestStep(page, slider->value()));
                     });

    c.low = pageLabel(format, "Low", p, kLow, place);
    c.low->setAlignment(Qt::AlignAbsolute | Qt::AlignLeft | Qt::AlignVCenter);
    c.high = pageLabel(format, "High", p, kHigh, place);
    c.high->setAlignment(Qt::AlignAbsolute | Qt::AlignRight | Qt::AlignVCenter);
    pageLabel(format, "Note", p, kNote, place);
    return c;
}

} // namespace kv
