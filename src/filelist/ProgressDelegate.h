#pragma once

#include <QColor>
#include <QStyledItemDelegate>

#include <optional>

namespace kv {

// A `Status` that reads as a number (42.5) is a file being converted; anything else is text.
std::optional<double> ProgressValue(const QString& status);

// Paints a numeric `Status` as a progress bar with its percentage; other cells as usual.
class ProgressDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr QColor kBarColor{113, 135, 79};

    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The bar: the text in the bar colour over the background, the part of the cell under
    // the bar in the bar colour with the text in the background colour. A selected cell is
    // drawn in the highlight colours without a bar.
    static void DrawProgressCell(QPainter* painter, const QRect& rect, double percent,
                                 QColor barColor, QColor backColor, bool drawText, bool selected,
                                 const QFont& font);

protected:
    // Paths, lengths and sizes are left-to-right text in every language: in a right-to-left
    // grid they are isolated as such, so "/music/a.flac" keeps its leading "/" and
    // "793.88 KB" its order. Only the drawn text changes, never the model's values.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

} // namespace kv
