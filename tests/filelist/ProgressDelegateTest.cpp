#include "filelist/ProgressDelegate.h"
#include "filelist/FileListModel.h"

#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTableView>

#include <gtest/gtest.h>

using namespace kv;

namespace {
const QColor kBack(255, 255, 255);
const QColor kHighlight(128, 0, 128);

QImage renderCell(double percent, bool selected, int width = 200, int height = 22) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    QFont f;
    f.setPixelSize(13);
    if (selected)
        ProgressDelegate::DrawProgressCell(&p, img.rect(), percent, kHighlight, kBack, true, true,
                                           f);
    else
        ProgressDelegate::DrawProgressCell(&p, img.rect(), percent, ProgressDelegate::kBarColor,
                                           kBack, true, false, f);
    return img;
}

// A cell that is only `text` in `ink` on `paper`, centred as the cell centres it.
QImage textOnly(const QString& text, const QColor& ink, const QColor& paper) {
    QImage img(200, 22, QImage::Format_RGB32);
    img.fill(paper);
    QPainter p(&img);
    QFont f;
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(ink);
    p.drawText(img.rect(), Qt::AlignCenter, text);
    return img;
}

// Pixels of row y in the given colour.
int countInRow(const QImage& img, int y, const QColor& c) {
    int n = 0;
    for (int x = 0; x < img.width(); ++x)
        n += img.pixelColor(x, y) == c;
    return n;
}

// Text pixels: anything that is neither of the two flat colours at that place.
bool hasTextPixels(const QImage& img, int x0, int x1, const QColor& flat) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = x0; x < x1; ++x)
            if (img.pixelColor(x, y) != flat)
                return true;
    return false;
}
} // namespace

TEST(ProgressValue, NumbersAreProgressAndTextsAreNot) {
    EXPECT_DOUBLE_EQ(*ProgressValue(QStringLiteral("42.5")), 42.5);
    EXPECT_DOUBLE_EQ(*ProgressValue(QStringLiteral("0")), 0.0);
    EXPECT_DOUBLE_EQ(*ProgressValue(QStringLiteral("-3")), -3.0);
    EXPECT_FALSE(ProgressValue(QStringLiteral("Waiting Conversion")));
    EXPECT_FALSE(ProgressValue(QStringLiteral("Complete")));
    EXPECT_FALSE(ProgressValue(QStringLiteral("Codec Not Supported")));
    EXPECT_FALSE(ProgressValue(QString()));
    EXPECT_FALSE(ProgressValue(QStringLiteral("nan")));
    EXPECT_FALSE(ProgressValue(QStringLiteral("inf")));
}

TEST(ProgressCell, BarCoversTheRoundedPercentageOfTheWidth) {
    // 42.5 rounds half to even: 42% of 200 pixels is 84.
    const QImage img = renderCell(42.5, false);
    const int top = 0; // no text on the top row
    EXPECT_EQ(countInRow(img, top, ProgressDelegate::kBarColor), 84);
    for (int x = 0; x < 84; ++x)
        ASSERT_EQ(img.pixelColor(x, top), ProgressDelegate::kBarColor) << x;
    for (int x = 84; x < 200; ++x)
        ASSERT_EQ(img.pixelColor(x, top), kBack) << x;
    // Beside the bar the cell is exactly the text "42%" in the bar colour on the background.
    const QImage reference = textOnly(QStringLiteral("42%"), ProgressDelegate::kBarColor, kBack);
    EXPECT_TRUE(hasTextPixels(reference, 84, 200, kBack));
    for (int y = 0; y < 22; ++y)
        for (int x = 84; x < 200; ++x)
            ASSERT_EQ(img.pixelColor(x, y), reference.pixelColor(x, y)) << x << "," << y;
}

TEST(ProgressCell, TextOverTheBarTakesTheBackgroundColour) {
    // At 50% the centred text straddles the bar's end: light glyph pixels inside the bar,
    // dark ones beside it.
    const QImage img = renderCell(50, false);
    const int barLightness = ProgressDelegate::kBarColor.lightness();
    bool lightInBar = false, darkBeside = false;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < 100; ++x)
            lightInBar |= img.pixelColor(x, y).lightness() > barLightness + 60;
        for (int x = 100; x < 200; ++x)
            darkBeside |= img.pixelColor(x, y).lightness() < kBack.lightness() - 60;
    }
    EXPECT_TRUE(lightInBar);
    EXPECT_TRUE(darkBeside);
}

TEST(ProgressCell, PercentIsClampedTo0And100) {
    // 150 is a full bar reading 100%, the text in the background colour over the bar.
    const QImage full = renderCell(150, false);
    EXPECT_EQ(countInRow(full, 0, ProgressDelegate::kBarColor), 200);
    EXPECT_TRUE(full == textOnly(QStringLiteral("100%"), kBack, ProgressDelegate::kBarColor));

    // -3 is no bar at all, reading 0%.
    const QImage empty = renderCell(-3, false);
    EXPECT_EQ(countInRow(empty, 0, ProgressDelegate::kBarColor), 0);
    EXPECT_TRUE(empty == textOnly(QStringLiteral("0%"), ProgressDelegate::kBarColor, kBack));
    EXPECT_FALSE(empty == textOnly(QStringLiteral("3%"), ProgressDelegate::kBarColor, kBack));
}

TEST(ProgressCell, SelectedCellIsHighlightWithoutBar) {
    // The percentage in the highlighted text colour on the highlight, and no bar colour.
    const QImage img = renderCell(42.5, true);
    EXPECT_TRUE(img == textOnly(QStringLiteral("42%"), kBack, kHighlight));
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            ASSERT_NE(img.pixelColor(x, y), ProgressDelegate::kBarColor);
}

TEST(ProgressCell, TheGridDrawsNumericStatusesAsBarsAndTextsAsText) {
    FileListModel model;
    FileListRow a;
    a.FilePath = QStringLiteral("/a.wav");
    a.Status = QStringLiteral("42.5");
    FileListRow b;
    b.FilePath = QStringLiteral("/b.wav");
    b.Status = QStringLiteral("Waiting Conversion");
    ASSERT_TRUE(model.appendRow(a));
    ASSERT_TRUE(model.appendRow(b));
    QTableView view;
    view.setModel(&model);
    view.setItemDelegate(new ProgressDelegate(&view));
    QPalette pal = view.palette();
    pal.setColor(QPalette::HighlightedText, kBack);
    view.setPalette(pal);
    view.resize(800, 200);
    view.setColumnWidth(3, 200);
    view.show();
    const QImage shot = view.viewport()->grab().toImage();
    const QRect barCell = view.visualRect(model.index(0, 3));
    const QRect textCell = view.visualRect(model.index(1, 3));
    const int y = barCell.top();
    const int expected = 84; // 42% of 200
    int bar = 0;
    for (int x = barCell.left(); x <= barCell.right(); ++x)
        bar += shot.pixelColor(x, y) == ProgressDelegate::kBarColor;
    EXPECT_EQ(bar, expected);
    int barInText = 0;
    for (int yy = textCell.top(); yy <= textCell.bottom(); ++yy)
        for (int x = textCell.left(); x <= textCell.right(); ++x)
            barInText += shot.pixelColor(x, yy) == ProgressDelegate::kBarColor;
    EXPECT_EQ(barInText, 0);
}

namespace {
// The text the grid hands to the style for one cell.
struct ShownText : ProgressDelegate {
    QString shown(const QModelIndex& index, Qt::LayoutDirection direction) const {
        QStyleOptionViewItem option;
        option.direction = direction;
        initStyleOption(&option, index);
        return option.text;
    }
};

// Drawn against the right edge, so the glyphs fall on the same pixel fractions every time.
QImage ink(const QString& text, Qt::LayoutDirection direction) {
    QImage img(300, 24, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setLayoutDirection(direction);
    p.drawText(img.rect(), Qt::AlignVCenter | Qt::AlignRight | Qt::AlignAbsolute, text);
    return img;
}
} // namespace

TEST(ProgressCell, PathsSizesAndLengthsReadAsInEnglishInARightToLeftGrid) {
    FileListModel model;
    ASSERT_TRUE(
        model.appendRow({0, 0, "/music/a.flac", "Waiting Conversion", "03:07", "793.88 KB"}));
    ShownText delegate;
    for (int column = 2; column <= 5; ++column) {
        const QModelIndex index = model.index(0, column);
        const QString stored = index.data().toString(); // what sorting and the batch read
        for (const auto direction : {Qt::RightToLeft, Qt::LeftToRight}) {
            const QString shown = delegate.shown(index, direction);
            if (column == 3) // a status is a text of the language
                EXPECT_EQ(shown, stored);
            else
                EXPECT_TRUE(ink(shown, direction) == ink(stored, Qt::LeftToRight)) << column;
        }
    }
    EXPECT_EQ(model.index(0, 2).data().toString(), QStringLiteral("/music/a.flac"));
}
