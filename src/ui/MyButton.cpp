#include "ui/MyButton.h"

#include "ui/ReadingOrder.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

namespace kv {

MyButton::MyButton(QWidget* parent) : QPushButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

MyButton::MyButton(const QString& text, QWidget* parent) : MyButton(parent) {
    setText(text);
}

void MyButton::setToolTipBackColor(const QColor& c) {
    toolTipBack_ = c;
    setStyleSheet(
        QStringLiteral("QToolTip { background-color: %1; color: black; border: 1px solid %2; }")
            .arg(c.name(), border_.name()));
}

bool MyButton::event(QEvent* e) {
    if (e->type() == QEvent::Enter || e->type() == QEvent::Leave) {
        hovered_ = e->type() == QEvent::Enter;
        update();
    }
    return QPushButton::event(e);
}

void MyButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor fill = !isEnabled() ? backDisabled_ : (hasFocus() || hovered_) ? backFocus_ : back_;
    if (isDown())
        fill = fill.darker(112);
    QPainterPath path;
    path.addRoundedRect(r, 4, 4);
    // A soft vertical sheen and a darker rim keep the button visible on a body of its own
    // colour.
    QLinearGradient sheen(r.topLeft(), r.bottomLeft());
    sheen.setColorAt(0.0, fill.lighter(112));
    sheen.setColorAt(1.0, fill.darker(108));
    p.fillPath(path, sheen);
    const QColor rim = isEnabled() ? border_.darker(135) : border_.darker(115);
    p.setPen(QPen(rim, hasFocus() ? 2.0 : 1.0));
    p.drawPath(path);

    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QRect content = rect().adjusted(4, 2, -4, -2);
    if (!icon().isNull()) {
        const QSize sz = iconSize();
        const QRect ir(QPoint(0, 0), sz);
        QRect target = ir;
        if (text().isEmpty())
            target.moveCenter(content.center());
        else
            target.moveTopLeft(QPoint(content.left(), content.center().y() - sz.height() / 2));
        icon().paint(&p, target, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    }
    if (!text().isEmpty()) {
        p.setPen(isEnabled() ? palette().color(QPalette::ButtonText)
                             : palette().color(QPalette::Disabled, QPalette::ButtonText));
        QString shown = text();
        shown.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
        shown.remove(QLatin1Char('&'));
        shown.replace(QLatin1Char('\x01'), QLatin1Char('&'));
        p.drawText(content, Qt::AlignCenter | Qt::TextWordWrap | ReadingOrderFlag(shown), shown);
    }
}

} // namespace kv
