#pragma once

#include <QProxyStyle>

namespace kv {

// Qt::TextForceLeftToRight or Qt::TextForceRightToLeft as the text itself reads: by its first
// strong letter, left to right for a text without one (a number).
int ReadingOrderFlag(const QString& text);

// Texts keep their own reading order whichever way the program reads. Qt lays a text out in
// the program's direction, so in Arabic "128 Kbps" would show as "Kbps 128" and an English
// caption's colon would stand in front of it; here each text takes the direction of its own
// letters, while it stays at the side its control gives it.
class ReadingOrderStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& pal,
                      bool enabled, const QString& text,
                      QPalette::ColorRole textRole = QPalette::NoRole) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

// Puts ReadingOrderStyle over the application's style, once; before the window makes its
// controls.
void UseReadingOrderStyle();

} // namespace kv
