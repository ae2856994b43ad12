#pragma once

#include "controls/SliderBitmaps.h"

#include <QImage>
#include <QWidget>

#include <cstdint>

namespace kv {

class PropertyBag;

// The program's own slider, drawn from small bitmaps with a groove whose filled part blends
// from ForeColor (at Min) to ForeColor2 (at Max). Colours are 0x00BBGGRR words. Geometry is
// worked out in logical pixels; on high-density screens the finished picture is scaled.
//
// Signals with reference arguments are meant for direct connections.
class Slider : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Value READ value WRITE setValue)
    Q_PROPERTY(int Max READ max WRITE setMax)
    Q_PROPERTY(int Min READ min WRITE setMin)
    Q_PROPERTY(uint BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(uint ForeColor READ foreColor WRITE setForeColor)
    Q_PROPERTY(uint ForeColor2 READ foreColor2 WRITE setForeColor2)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool Snap READ snap WRITE setSnap)
    Q_PROPERTY(int Style READ style WRITE setStyle)

public:
    // Defaults of a freshly created control, also the defaults of its stored properties.
    static constexpr std::int32_t kDefaultValue = 50;
    static constexpr std::int32_t kDefaultMax = 100;
    static constexpr std::int32_t kDefaultMin = -100;
    static constexpr std::uint32_t kDefaultBackColor = 0;
    static constexpr std::uint32_t kDefaultForeColor = 0x0000C8C8;  // RGB(200, 200, 0)
    static constexpr std::uint32_t kDefaultForeColor2 = 0x000000C8; // RGB(200, 0, 0)

    explicit Slider(QWidget* parent = nullptr);

    // Property writes. Each one that a caller can observe redraws and raises Change, also
    // when nothing changed. A write that would leave a range wider than 32 bits can hold is
    // refused: false, and nothing changes.
    std::int32_t value() const { return value_; }
    bool setValue(std::int32_t v);
    std::int32_t max() const { return max_; }
    bool setMax(std::int32_t v);
    std::int32_t min() const { return min_; }
    bool setMin(std::int32_t v);
    std::uint32_t backColor() const { return backColor_; }
    void setBackColor(std::uint32_t c);
    std::uint32_t foreColor() const { return foreColor_; }
    void setForeColor(std::uint32_t c);
    std::uint32_t foreColor2() const { return foreColor2_; }
    void setForeColor2(std::uint32_t c);
    // Hides QWidget's: a disabled slider ignores the pointer but keeps the keyboard and its
    // look, so it is not a disabled widget.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool b) { enabled_ = b; }
    bool snap() const { return snap_; }
    void setSnap(bool b) { snap_ = b; }
    std::int32_t style() const { return style_; }
    void setStyle(std::int32_t s);
    bool isVertical() const { return style_ != 0; }

    // Persistence in the host's property bag. Reading goes through the setters in the
    // stored order; false when an entry could not be read or its write was refused (the
    // others are still applied).
    bool ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // Internal state, readable for the host and for tests.
    bool handleFromPointer() const { return handleFromPointer_; }
    float handlePos() const { return handlePos_; }
    float lastX() const { return lastX_; }
    float lastY() const { return lastY_; }
    // The picture as last drawn, in logical pixels.
    const QImage& surface() const { return surface_; }
    const SliderBitmaps& bitmaps() const { return pics_; }
    // Where DrawSlider puts the handle: its left edge, or its distance from the bottom edge
    // when vertical.
    int HandleOffset() const;
    // The groove colour of the filled part for the current state, 0x00BBGGRR.
    std::uint32_t FillColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The pointer positioning; x and y may be moved into the track. False (and nothing
    // changes) when the range is unusable.
    bool PositionFromPointer(float& x, float& y);

Q_SIGNALS:
    // The receiver may change the value; a changed value is applied through setValue.
    void DblClick(int& Value);
    void Scroll();
    void Change();
    void Click();
    // Button 1 left, 2 right, 4 middle; shift 1 Shift, 2 Ctrl, 4 Alt.
    void MouseUp(short& Button, short& Shift, float& X, float& Y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void DrawSlider();
    void UpdateFillColor();
    void PaintBackBand();
    void redraw();
    void raiseChange();
    void clickPositioning();
    void applySizeConstraints();
    bool rangeUsable() const;

    std::int32_t value_ = kDefaultValue;
    std::int32_t max_ = kDefaultMax;
    std::int32_t min_ = kDefaultMin;
    std::uint32_t backColor_ = kDefaultBackColor;
    std::uint32_t foreColor_ = kDefaultForeColor;
    std::uint32_t foreColor2_ = kDefaultForeColor2;
    bool enabled_ = true;
    bool snap_ = false;
    std::int32_t style_ = 0;

    bool handleFromPointer_ = false;
    float handlePos_ = 0;
    float lastX_ = 0, lastY_ = 0;
    float red1_ = 0, green1_ = 0, blue1_ = 0;
    float red2_ = 0, green2_ = 0, blue2_ = 0;

    SliderBitmaps pics_;
    QImage surface_;
    QRect drawnHandle_;
    bool clickPending_ = false;
    std::int32_t announcedValue_ = kDefaultValue;
};

} // namespace kv
