#include "ui/FramePanel.h"

#include "ui/ReadingOrder.h"

#include <QLinearGradient>
#include <QPainter>

namespace kv {

FramePanel::FramePanel(QWidget* parent) : QFrame(parent) {
    setAttribute(Qt::WA_StyledBackground, false);
}

void FramePanel::setCaption(const QString& caption) {
    caption_ = caption;
    update();
}

int FramePanel::headerHeight() const {
    return caption_.isEmpty() ? 0 : fontMetrics().height() + 8;
}

void FramePanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();

    QLinearGradient body(r.topLeft(), r.bottomRight());
    body.setColorAt(0.0, bodyTopLeft_);
    body.setColorAt(0.6, bodyBottomLeft_);
    body.setColorAt(1.0, bodyBottomRight_);
    p.fillRect(r, body);

    if (const int h = headerHeight(); h > 0) {
        const QRect header(r.left(), r.top(), r.width(), h);
        QLinearGradient g(header.topLeft(), header.bottomLeft());
        g.setColorAt(0.0, headerTopLeft_);
        g.setColorAt(1.0, headerBottomLeft_);
        p.fillRect(header, g);
        QFont f = font();
        f.setBold(true);
        p.setFont(f);
        const QRect textRect = header.adjusted(8, 0, -8, 0);
        // Absolute, or the painter would mirror the right-to-left choice back to the left.
        const int align = Qt::AlignVCenter | Qt::AlignAbsolute |
                          (layoutDirection() == Qt::RightToLeft ? Qt::AlignRight : Qt::AlignLeft) |
                          ReadingOrderFlag(caption_);
        // A light shadow keeps the title readable on the darker end of the header.
        p.setPen(QColor(255, 255, 255, 170));
        p.drawText(textRect.translated(1, 1), align, caption_);
        p.setPen(fore_);
        p.drawText(textRect, align, caption_);
    }

    p.setPen(border_);
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

} // namespace kv
