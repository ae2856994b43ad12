#pragma once

#include <QColor>
#include <QPushButton>

namespace kv {

// A flat rounded button drawn in the theme colours.
class MyButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QColor BackColor MEMBER back_ WRITE setBackColor)
    Q_PROPERTY(QColor BackColorDisabled MEMBER backDisabled_ WRITE setBackColorDisabled)
    Q_PROPERTY(QColor BackColorFocus MEMBER backFocus_ WRITE setBackColorFocus)
    Q_PROPERTY(QColor BorderColor MEMBER border_ WRITE setBorderColor)
    Q_PROPERTY(QColor ToolTipBackColor MEMBER toolTipBack_ WRITE setToolTipBackColor)

public:
    explicit MyButton(QWidget* parent = nullptr);
    MyButton(const QString& text, QWidget* parent);

    void setBackColor(const QColor& c) {
        back_ = c;
        update();
    }
    void setBackColorDisabled(const QColor& c) {
        backDisabled_ = c;
        update();
    }
    void setBackColorFocus(const QColor& c) {
        backFocus_ = c;
        update();
    }
    void setBorderColor(const QColor& c) {
        border_ = c;
        update();
    }
    void setToolTipBackColor(const QColor& c);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* e) override;

private:
    QColor back_{240, 230, 240};
    QColor backDisabled_{225, 220, 225};
    QColor backFocus_{250, 235, 250};
    QColor border_{120, 60, 120};
    QColor toolTipBack_{255, 255, 225};
    bool hovered_ = false;
};

} // namespace kv
