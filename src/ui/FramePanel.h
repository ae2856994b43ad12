#pragma once

#include <QColor>
#include <QFrame>

namespace kv {

// A panel with a gradient body, an optional captioned header strip and a border. Its colour
// properties carry the names the theme sets.
class FramePanel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(QColor BodyColorTopLeft MEMBER bodyTopLeft_ WRITE setBodyColorTopLeft)
    Q_PROPERTY(QColor BodyColorBottomLeft MEMBER bodyBottomLeft_ WRITE setBodyColorBottomLeft)
    Q_PROPERTY(QColor BodyColorBottomRight MEMBER bodyBottomRight_ WRITE setBodyColorBottomRight)
    Q_PROPERTY(QColor BorderColor MEMBER border_ WRITE setBorderColor)
    Q_PROPERTY(QColor ForeColor MEMBER fore_ WRITE setForeColor)
    Q_PROPERTY(QColor HeaderColorTopLeft MEMBER headerTopLeft_ WRITE setHeaderColorTopLeft)
    Q_PROPERTY(QColor HeaderColorBottomLeft MEMBER headerBottomLeft_ WRITE setHeaderColorBottomLeft)
    Q_PROPERTY(bool Active READ isActive WRITE setActive)

public:
    explicit FramePanel(QWidget* parent = nullptr);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

    // An inactive panel takes no input; its children are covered by another panel.
    bool isActive() const { return isEnabled(); }
    void setActive(bool active) { setEnabled(active); }

    void setBodyColorTopLeft(const QColor& c) {
        bodyTopLeft_ = c;
        update();
    }
    void setBodyColorBottomLeft(const QColor& c) {
        bodyBottomLeft_ = c;
        update();
    }
    void setBodyColorBottomRight(const QColor& c) {
        bodyBottomRight_ = c;
        update();
    }
    void setBorderColor(const QColor& c) {
        border_ = c;
        update();
    }
    void setForeColor(const QColor& c) {
        fore_ = c;
        update();
    }
    void setHeaderColorTopLeft(const QColor& c) {
        headerTopLeft_ = c;
        update();
    }
    void setHeaderColorBottomLeft(const QColor& c) {
        headerBottomLeft_ = c;
        update();
    }

    // Height of the header strip; 0 when the panel has no caption.
    int headerHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
    QColor bodyTopLeft_{250, 240, 250};
    QColor bodyBottomLeft_{235, 215, 235};
    QColor bodyBottomRight_{220, 190, 220};
    QColor border_{90, 40, 90};
    QColor fore_{30, 0, 30};
    QColor headerTopLeft_{200, 120, 200};
    QColor headerBottomLeft_{110, 30, 110};
};

} // namespace kv
