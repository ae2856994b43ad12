#include "controls/Slider.h"

#include "controls/PropertyBag.h"
#include "controls/SliderAccessible.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kv {
namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// Fractions become integers by rounding to nearest, a half going to the even neighbour.
double nearest(double v) {
    return std::nearbyint(v);
}

QRgb toRgb(std::uint32_t bgr) {
    return qRgb(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

// Copies src onto the part of `target` that lies inside dst, stretching pixel by pixel.
void copyStretched(QImage& dst, const QImage& src, const QRect& target) {
    if (target.isEmpty() || src.isNull())
        return;
    const QRect visible = target.intersected(dst.rect());
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        const int sy = static_cast<int>(static_cast<std::int64_t>(y - target.y()) * src.height() /
                                        target.height());
        const auto* from = reinterpret_cast<const QRgb*>(src.constScanLine(sy));
        auto* to = reinterpret_cast<QRgb*>(dst.scanLine(y));
        for (int x = visible.left(); x <= visible.right(); ++x) {
            const int sx = static_cast<int>(static_cast<std::int64_t>(x - target.x()) *
                                            src.width() / target.width());
            to[x] = 0xFF000000u | from[sx];
        }
    }
}

void copyAt(QImage& dst, const QImage& src, int x, int y) {
    copyStretched(dst, src, QRect(QPoint(x, y), src.size()));
}

// Short codes the control reports for buttons and modifier keys.
short buttonCode(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

short shiftCode(Qt::KeyboardModifiers m) {
    short s = 0;
    if (m & Qt::ShiftModifier)
        s |= 1;
    if (m & Qt::ControlModifier)
        s |= 2;
    if (m & Qt::AltModifier)
        s |= 4;
    return s;
}

} // namespace

Slider::Slider(QWidget* parent) : QWidget(parent), pics_(StandardSliderBitmaps()) {
    InstallSliderAccessibility();
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true); // moves without a button still record the pointer
    setAttribute(Qt::WA_StaticContents);
    applySizeConstraints();
    DrawSlider();
}

bool Slider::rangeUsable() const {
    const std::int64_t r = std::int64_t{max_} - min_;
    return r >= 1 && r <= kInt32Max;
}

void Slider::redraw() {
    handleFromPointer_ = false;
    DrawSlider();
}

void Slider::raiseChange() {
    Q_EMIT Change();
    if (value_ != announcedValue_) {
        announcedValue_ = value_;
        QAccessibleValueChangeEvent event(this, value_);
        QAccessible::updateAccessibility(&event);
    }
}

bool Slider::setValue(std::int32_t v) {
    value_ = v;
    if (value_ < min_)
        value_ = min_;
    if (max_ < value_)
        value_ = max_;
    redraw();
    raiseChange();
    return true;
}

bool Slider::setMax(std::int32_t v) {
    std::int64_t m = v;
    if (min_ >= v)
        m = std::int64_t{min_} + 1;
    // Refused rather than left with a range the arithmetic cannot hold.
    if (m > kInt32Max || m - min_ > kInt32Max)
        return false;
    max_ = static_cast<std::int32_t>(m);
    if (value_ > max_)
        value_ = max_;
    redraw();
    raiseChange();
    return true;
}

bool Slider::setMin(std::int32_t v) {
    std::int64_t m = v;
    if (v >= max_)
        m = std::int64_t{max_} - 1;
    if (m < kInt32Min || max_ - m > kInt32Max)
        return false;
    min_ = static_cast<std::int32_t>(m);
    if (value_ < min_)
        value_ = min_;
    redraw();
    raiseChange();
    return true;
}

void Slider::setBackColor(std::uint32_t c) {
    backColor_ = c;
    PaintBackBand();
    redraw();
    raiseChange();
}

void Slider::setForeColor(std::uint32_t c) {
    foreColor_ = c;
    red1_ = static_cast<float>(c & 0xFF);
    green1_ = static_cast<float>((c >> 8) & 0xFF);
    blue1_ = static_cast<float>((c >> 16) & 0xFF);
    redraw();
    raiseChange();
}

void Slider::setForeColor2(std::uint32_t c) {
    foreColor2_ = c;
    red2_ = static_cast<float>(c & 0xFF);
    green2_ = static_cast<float>((c >> 8) & 0xFF);
    blue2_ = static_cast<float>((c >> 16) & 0xFF);
    redraw();
    raiseChange();
}

void Slider::setStyle(std::int32_t s) {
    const bool wasVertical = isVertical();
    style_ = s;
    // The extent turns only when the orientation does: rewriting the same orientation keeps
    // the control's length.
    if (wasVertical != isVertical()) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        if (isVertical())
            resize(width(), width());
        else
            resize(height(), height());
    }
    applySizeConstraints();
    redraw();
}

// The size rule: the track keeps its thickness and is at least long enough for both caps and
// two handles. Kept as size limits so it holds for every resize, shown or not.
void Slider::applySizeConstraints() {
    if (isVertical()) {
        const int shortest =
            pics_.PicUp.height() + pics_.PicDown.height() + 2 * pics_.PicHandle2.height();
        setMinimumSize(pics_.PicDown.width(), shortest);
        setMaximumSize(pics_.PicDown.width(), QWIDGETSIZE_MAX);
    } else {
        const int shortest =
            pics_.PicLeft.width() + pics_.PicRight.width() + 2 * pics_.PicHandle.width();
        setMinimumSize(shortest, pics_.PicLeft.height());
        setMaximumSize(QWIDGETSIZE_MAX, pics_.PicLeft.height());
    }
}

QSize Slider::minimumSizeHint() const {
    return minimumSize();
}

QSize Slider::sizeHint() const {
    const QSize least = minimumSize();
    return isVertical() ? QSize(least.width(), 150) : QSize(150, least.height());
}

int Slider::HandleOffset() const {
    double pos = 0;
    if (snap_ || !handleFromPointer_) {
        const double r = static_cast<double>(std::int64_t{max_} - min_);
        const double value = value_, min = min_;
        if (isVertical()) {
            const double t = height() - pics_.PicDown.height() - pics_.PicUp.height() -
                             pics_.PicHandle2.height();
            const double hH2 = pics_.PicHandle2.height();
            const double a = nearest(value / r * t);
            const double b = nearest(hH2 / 2 + a + 1 + hH2);
            pos = nearest(b - min / r * t);
        } else {
            const double t =
                width() - pics_.PicLeft.width() - pics_.PicRight.width() - pics_.PicHandle.width();
            const double a = nearest(value / r * t);
            const double b = nearest(pics_.PicHandle.width() / 2.0 + a + 1);
            pos = nearest(b - min / r * t);
        }
    } else {
        pos = nearest(handlePos_);
    }
    // The placement stays within the control; the bound only guards the conversion.
    return static_cast<int>(std::clamp(pos, -1.0e6, 1.0e6));
}

std::uint32_t Slider::FillColor() const {
    double f = 0;
    if (snap_ || !handleFromPointer_) {
        const double r = static_cast<double>(std::int64_t{max_} - min_);
        const double v = static_cast<double>(std::int64_t{value_} - min_);
        // Written as the two weights so Value = Min gives exactly ForeColor.
        auto blend = [&](float c1, float c2) { return (r - v) / r * c1 + v / r * c2; };
        const double red = blend(red1_, red2_), green = blend(green1_, green2_),
                     blue = blend(blue1_, blue2_);
        auto byte = [](double c) {
            return static_cast<std::uint32_t>(nearest(std::clamp(c, 0.0, 255.0)));
        };
        return byte(red) | byte(green) << 8 | byte(blue) << 16;
    }
    if (isVertical())
        f = handlePos_ /
            static_cast<double>(height() - pics_.PicDown.height() - pics_.PicUp.height());
    else
        f = handlePos_ /
            static_cast<double>(width() - pics_.PicLeft.width() - pics_.PicRight.width());
    // The vertical pointer range reaches a little past the track, so f can pass 1; the
    // components are kept to bytes either way.
    auto byte = [&](float c1, float c2) {
        const double c = f * c2 + (1 - f) * c1;
        return static_cast<std::uint32_t>(nearest(std::clamp(c, 0.0, 255.0)));
    };
    return byte(red1_, red2_) | byte(green1_, green2_) << 8 | byte(blue1_, blue2_) << 16;
}

void Slider::UpdateFillColor() {
    const QRgb fill = toRgb(FillColor());
    for (int i = kBandFirst; i <= kBandLast; ++i) {
        if (isVertical())
            pics_.PicFullFill2.setPixel(i, 0, fill);
        else
            pics_.PicFullFill.setPixel(0, i, fill);
    }
}

void Slider::PaintBackBand() {
    const QRgb back = toRgb(backColor_);
    for (int i = kBandFirst; i <= kBandLast; ++i) {
        pics_.PicEmptyFill.setPixel(0, i, back);
        pics_.PicEmptyFill2.setPixel(i, 0, back);
    }
}

void Slider::DrawSlider() {
    if (max_ == min_ || !rangeUsable())
        return; // the previous picture stays
    const int pos = HandleOffset();
    const int w = width(), h = height();
    if (surface_.size() != size())
        surface_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    surface_.fill(Qt::transparent);
    UpdateFillColor();
    const SliderBitmaps& p = pics_;
    if (!isVertical()) {
        const int hL = p.PicLeft.height();
        copyStretched(surface_, p.PicFullFill, QRect(0, 0, pos, hL));
        copyStretched(surface_, p.PicEmptyFill, QRect(pos, 0, w - pos, hL));
        copyAt(surface_, p.PicLeft, 0, 0);
        copyStretched(surface_, p.PicRight,
                      QRect(w - p.PicRight.width(), 0, p.PicRight.width(), hL));
        copyAt(surface_, p.PicHandle, pos, 4);
        drawnHandle_ = QRect(QPoint(pos, 4), p.PicHandle.size());
    } else {
        copyStretched(surface_, p.PicEmptyFill2, QRect(0, 0, p.PicDown.width(), h - pos));
        // Runs past the bottom edge; only its top `pos` rows show.
        copyStretched(surface_, p.PicFullFill2, QRect(0, h - pos, p.PicUp.width(), h));
        copyAt(surface_, p.PicUp, 0, 0);
        copyAt(surface_, p.PicDown, 0, h - p.PicDown.height());
        copyAt(surface_, p.PicHandle2, 4, h - pos);
        drawnHandle_ = QRect(QPoint(4, h - pos), p.PicHandle2.size());
    }
    update();
}

void Slider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Logical pixels throughout; a high-density screen just scales the finished picture.
    painter.drawImage(QRect(QPoint(0, 0), surface_.size()), surface_);
    if (hasFocus()) {
        QPen pen(QColor(0, 0, 0), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(drawnHandle_.adjusted(0, 0, -1, -1));
    }
}

void Slider::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void Slider::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void Slider::resizeEvent(QResizeEvent*) {
    handleFromPointer_ = false;
    DrawSlider();
}

bool Slider::PositionFromPointer(float& x, float& y) {
    if (!rangeUsable())
        return false;
    const double r = static_cast<double>(std::int64_t{max_} - min_);
    double v = 0;
    if (isVertical()) {
        const float hH2 = static_cast<float>(pics_.PicHandle2.height());
        const float hD = static_cast<float>(pics_.PicDown.height());
        const float hU = static_cast<float>(pics_.PicUp.height());
        const double t = height() - hD - hU - hH2;
        const double offset = nearest((y - hH2) / t * r);
        v = static_cast<double>(max_) - offset; // the top of the track is Max
        const float low = hH2 / 2 + hD - 1;
        const float high = static_cast<float>(height()) - (hH2 / 2 + hU);
        if (y < low)
            y = low;
        if (y > high)
            y = high;
        handlePos_ = static_cast<float>(height()) - (y - hH2 / 2) - 4;
    } else {
        const float wH = static_cast<float>(pics_.PicHandle.width());
        const float wL = static_cast<float>(pics_.PicLeft.width());
        const float wR = static_cast<float>(pics_.PicRight.width());
        const double t = width() - wL - wR - wH;
        v = nearest((x - wH) / t * r) + min_;
        const float low = wH / 2 + wL - 1;
        const float high = static_cast<float>(width()) - (wH / 2 + wR);
        if (x < low)
            x = low;
        if (x > high)
            x = high;
        handlePos_ = x - wH / 2;
    }
    // Worked out wide, so a pointer far outside the track only lands on an end.
    if (!(v >= min_))
        v = min_;
    if (v > max_)
        v = max_;
    value_ = static_cast<std::int32_t>(v);
    handleFromPointer_ = true;
    DrawSlider();
    Q_EMIT Scroll();
    raiseChange();
    return true;
}

void Slider::mouseMoveEvent(QMouseEvent* event) {
    float x = static_cast<float>(event->position().x());
    float y = static_cast<float>(event->position().y());
    if (event->buttons() == Qt::LeftButton && enabled_)
        PositionFromPointer(x, y);
    lastX_ = x;
    lastY_ = y;
}

void Slider::mousePressEvent(QMouseEvent* event) {
    // A press is seen where the pointer is, as if it had moved there.
    lastX_ = static_cast<float>(event->position().x());
    lastY_ = static_cast<float>(event->position().y());
    clickPending_ = event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton;
    event->accept();
}

void Slider::mouseReleaseEvent(QMouseEvent* event) {
    short button = buttonCode(event->button());
    short shift = shiftCode(event->modifiers());
    float x = static_cast<float>(event->position().x());
    float y = static_cast<float>(event->position().y());
    Q_EMIT MouseUp(button, shift, x, y);
    const bool click = clickPending_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    clickPending_ = false;
    if (click) {
        Q_EMIT Click();
        clickPositioning();
    }
}

void Slider::mouseDoubleClickEvent(QMouseEvent* event) {
    clickPending_ = false;
    if (event->button() != Qt::LeftButton)
        return;
    lastX_ = static_cast<float>(event->position().x());
    lastY_ = static_cast<float>(event->position().y());
    clickPositioning();
}

void Slider::clickPositioning() {
    if (enabled_) {
        float x = lastX_, y = lastY_;
        if (!PositionFromPointer(x, y))
            return;
        lastX_ = x;
        lastY_ = y;
    }
    const int passed = value_;
    int v = passed;
    Q_EMIT DblClick(v);
    if (v != passed)
        setValue(v);
}

void Slider::keyPressEvent(QKeyEvent* event) {
    std::int64_t v = value_;
    const bool arrow = event->key() == Qt::Key_Left || event->key() == Qt::Key_Right;
    if (event->key() == Qt::Key_Left)
        v -= 1;
    else if (event->key() == Qt::Key_Right)
        v += 1;
    // Past the 32-bit ends the press is refused: nothing is drawn or raised.
    if (v < kInt32Min || v > kInt32Max || !rangeUsable()) {
        event->accept();
        return;
    }
    if (v < min_)
        v = min_;
    if (v > max_)
        v = max_;
    value_ = static_cast<std::int32_t>(v);
    handleFromPointer_ = false;
    DrawSlider();
    raiseChange();
    Q_EMIT Scroll();
    // Other keys are reported as well but still reach the window (Escape, shortcuts).
    event->setAccepted(arrow);
}

bool Slider::ReadProperties(const PropertyBag& bag) {
    bool all = true;
    bool ok = true;
    auto note = [&](bool applied) { all = all && ok && applied; };
    note(setValue(bag.ReadInt32(QStringLiteral("Value"), kDefaultValue, &ok)));
    note(setMax(bag.ReadInt32(QStringLiteral("Max"), kDefaultMax, &ok)));
    note(setMin(bag.ReadInt32(QStringLiteral("Min"), kDefaultMin, &ok)));
    setBackColor(bag.ReadUInt32(QStringLiteral("BackColor"), kDefaultBackColor, &ok));
    note(true);
    setForeColor(bag.ReadUInt32(QStringLiteral("ForeColor"), kDefaultForeColor, &ok));
    note(true);
    setForeColor2(bag.ReadUInt32(QStringLiteral("ForeColor2"), kDefaultForeColor2, &ok));
    note(true);
    setEnabled(bag.ReadBool(QStringLiteral("Enabled"), true, &ok));
    note(true);
    setSnap(bag.ReadBool(QStringLiteral("Snap"), false, &ok));
    note(true);
    setStyle(bag.ReadInt32(QStringLiteral("Style"), 0, &ok));
    note(true);
    redraw();
    return all;
}

void Slider::WriteProperties(PropertyBag& bag) const {
    bag.WriteInt32(QStringLiteral("Value"), value_, kDefaultValue);
    bag.WriteInt32(QStringLiteral("Max"), max_, kDefaultMax);
    bag.WriteInt32(QStringLiteral("Min"), min_, kDefaultMin);
    bag.WriteUInt32(QStringLiteral("BackColor"), backColor_, kDefaultBackColor);
    bag.WriteUInt32(QStringLiteral("ForeColor"), foreColor_, kDefaultForeColor);
    bag.WriteUInt32(QStringLiteral("ForeColor2"), foreColor2_, kDefaultForeColor2);
    bag.WriteBool(QStringLiteral("Enabled"), enabled_, true);
    bag.WriteBool(QStringLiteral("Snap"), snap_, false);
    bag.WriteInt32(QStringLiteral("Style"), style_, 0);
}

} // namespace kv
