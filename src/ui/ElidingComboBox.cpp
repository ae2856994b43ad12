#include "ui/ElidingComboBox.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace kv {

QString ElidingComboBox::shownText() const {
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    return fontMetrics().elidedText(opt.currentText, Qt::ElideRight, field.width());
}

void ElidingComboBox::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    opt.currentText = shownText();
    painter.drawControl(QStyle::CE_ComboBoxLabel, opt);
}

} // namespace kv
