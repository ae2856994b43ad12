#include "filelist/ProgressDelegate.h"

#include "filelist/FileListTable.h"
#include "settings/Rounding.h"

#include <QApplication>
#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace kv {

std::optional<double> ProgressValue(const QString& status) {
    const QString s = status.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    bool ok = false;
    double v = QLocale::c().toDouble(s, &ok);
    if (!ok)
        v = QLocale().toDouble(s, &ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

void ProgressDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    if (index.column() == static_cast<int>(FileListColumn::Status)) {
        if (const auto value = ProgressValue(index.data().toString())) {
            const bool selected = option.state & QStyle::State_Selected;
            const QPalette& pal = option.palette;
            if (selected)
                DrawProgressCell(painter, option.rect, *value, pal.color(QPalette::Highlight),
                                 pal.color(QPalette::HighlightedText), true, true, option.font);
            else
                DrawProgressCell(painter, option.rect, *value, kBarColor,
                                 pal.color(QPalette::HighlightedText), true, false, option.font);
            return;
        }
    }
    QStyledItemDelegate::paint(painter, option, index);
}

void ProgressDelegate::initStyleOption(QStyleOptionViewItem* option,
                                       const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    switch (static_cast<FileListColumn>(index.column())) {
    case FileListColumn::FilePath:
    case FileListColumn::Duration:
    case FileListColumn::FileSize:
        if (!option->text.isEmpty()) {
            // LEFT-TO-RIGHT ISOLATE ... POP DIRECTIONAL ISOLATE
            option->text = QChar(0x2066) + option->text + QChar(0x2069);
        }
        break;
    default:
        break;
    }
}

void ProgressDelegate::DrawProgressCell(QPainter* painter, const QRect& rect, double percent,
                                        QColor barColor, QColor backColor, bool drawText,
                                        bool selected, const QFont& font) {
    const int clamped = static_cast<int>(std::clamp(RoundHalfEven(percent), 0.0, 100.0));
    const QString text = QString::number(clamped) + QLatin1Char('%');

    painter->save();
    painter->setFont(font);
    QRect bar = rect;
    if (!selected)
        bar.setRight(rect.left() + static_cast<int>(RoundHalfEven(clamped / 100.0 * rect.width())) -
                     1);

    painter->fillRect(rect, backColor);
    if (drawText) {
        painter->setPen(barColor);
        painter->drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, text);
    }
    if (bar.width() > 0) {
        // Under the bar the two colours trade places, so the text stays readable.
        painter->setClipRect(bar);
        painter->fillRect(bar, barColor);
        if (drawText) {
            painter->setPen(backColor);
            painter->drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, text);
        }
    }
    painter->restore();
}

} // namespace kv
