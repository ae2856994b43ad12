#include "ui/ReadingOrder.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QStyleOptionViewItem>

namespace kv {
namespace {

// The text between isolation marks of its own direction, for the layouts that take their
// direction from the view rather than from flags. A menu text with a shortcut after its tab
// is left as it is.
QString isolated(const QString& text) {
    if (text.isEmpty() || text.contains(QLatin1Char('\t')))
        return text;
    const QChar open = text.isRightToLeft() ? QChar(0x2067) : QChar(0x2066); // RLI, LRI
    return open + text + QChar(0x2069);                                      // PDI
}

} // namespace

int ReadingOrderFlag(const QString& text) {
    return text.isRightToLeft() ? Qt::TextForceRightToLeft : Qt::TextForceLeftToRight;
}

void ReadingOrderStyle::drawItemText(QPainter* painter, const QRect& rect, int flags,
                                     const QPalette& pal, bool enabled, const QString& text,
                                     QPalette::ColorRole textRole) const {
    if (!(flags & (Qt::TextForceLeftToRight | Qt::TextForceRightToLeft))) {
        // The side comes from the painter, as before; only the order of the letters changes.
        const auto side = QStyle::visualAlignment(painter->layoutDirection(),
                                                  Qt::Alignment(flags & Qt::AlignHorizontal_Mask));
        flags = (flags & ~int(Qt::AlignHorizontal_Mask)) | int(side) | ReadingOrderFlag(text);
    }
    QProxyStyle::drawItemText(painter, rect, flags, pal, enabled, text, textRole);
}

void ReadingOrderStyle::drawControl(ControlElement element, const QStyleOption* option,
                                    QPainter* painter, const QWidget* widget) const {
    if (element == CE_ItemViewItem) {
        if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option)) {
            QStyleOptionViewItem own(*item);
            own.text = isolated(item->text);
            QProxyStyle::drawControl(element, &own, painter, widget);
            return;
        }
    } else if (element == CE_MenuItem) { // the open list of a drop-down box
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            QStyleOptionMenuItem own(*item);
            own.text = isolated(item->text);
            QProxyStyle::drawControl(element, &own, painter, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void UseReadingOrderStyle() {
    if (qobject_cast<ReadingOrderStyle*>(QApplication::style()))
        return;
    // A base of its own: the application deletes the style it replaces.
    QApplication::setStyle(
        new ReadingOrderStyle(QStyleFactory::create(QApplication::style()->name())));
}

} // namespace kv
