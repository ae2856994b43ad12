// Layout and drawing, checked on the pixels of the drawn picture.
#include "controls/Slider.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

using kv::Slider;

namespace {

constexpr quint32 kRed = 0x000000FF, kGreen = 0x0000FF00;
// The bevel of the empty strip, by row across the strip; rows 6 to 12 are the groove band.
const std::map<int, QRgb> kEmptyBevel = {
    {0, qRgb(2, 2, 2)},        {1, qRgb(209, 209, 211)},  {2, qRgb(204, 202, 207)},
    {3, qRgb(164, 157, 164)},  {4, qRgb(55, 41, 41)},     {5, qRgb(78, 71, 78)},
    {13, qRgb(140, 145, 139)}, {14, qRgb(193, 193, 193)}, {15, qRgb(63, 61, 64)},
    {16, qRgb(1, 3, 2)},       {17, qRgb(3, 3, 3)},       {18, qRgb(1, 3, 2)},
    {19, qRgb(78, 71, 78)}};

QRgb px(const QImage& img, int x, int y) {
    return img.pixel(x, y) | 0xFF000000u;
}

// A horizontal 0..9 control of the given width with the red-to-green fill.
void setUpNineSteps(Slider& s, int width, int value) {
    s.resize(width, 20);
    s.setMin(0);
    s.setMax(9);
    s.setBackColor(0x00C0FFC0);
    s.setForeColor(kRed);
    s.setForeColor2(kGreen);
    s.setValue(value);
}

bool sameBlock(const QImage& surface, const QImage& piece, QPoint at) {
    for (int y = 0; y < piece.height(); ++y)
        for (int x = 0; x < piece.width(); ++x)
            if (px(surface, at.x() + x, at.y() + y) != px(piece, x, y))
                return false;
    return true;
}

TEST(SliderBitmaps, SizesAndStripRows) {
    Slider s;
    const kv::SliderBitmaps& b = s.bitmaps();
    EXPECT_EQ(b.PicLeft.size(), QSize(11, 20));
    EXPECT_EQ(b.PicRight.size(), QSize(14, 20));
    EXPECT_EQ(b.PicHandle.size(), QSize(19, 10));
    EXPECT_EQ(b.PicEmptyFill.size(), QSize(1, 20));
    EXPECT_EQ(b.PicFullFill.size(), QSize(1, 20));
    EXPECT_EQ(b.PicUp.size(), QSize(20, 14));
    EXPECT_EQ(b.PicDown.size(), QSize(20, 11));
    EXPECT_EQ(b.PicHandle2.size(), QSize(10, 19));
    EXPECT_EQ(b.PicEmptyFill2.size(), QSize(20, 1));
    EXPECT_EQ(b.PicFullFill2.size(), QSize(20, 1));
    for (const auto& [i, colour] : kEmptyBevel) {
        EXPECT_EQ(px(b.PicEmptyFill, 0, i), colour) << "row " << i;
        EXPECT_EQ(px(b.PicEmptyFill2, i, 0), colour) << "column " << i;
        EXPECT_EQ(px(b.PicFullFill2, i, 0), px(b.PicFullFill, 0, i)) << "column " << i;
        // The filled strip's bevel is nearly the same.
        const QRgb full = px(b.PicFullFill, 0, i);
        EXPECT_LE(std::abs(qRed(full) - qRed(colour)) + std::abs(qGreen(full) - qGreen(colour)) +
                      std::abs(qBlue(full) - qBlue(colour)),
                  24)
            << "row " << i;
    }
}

TEST(SliderBitmaps, BandsTakeTheirColours) {
    Slider s;
    setUpNineSteps(s, 195, 5);
    const kv::SliderBitmaps& b = s.bitmaps();
    for (int i = 6; i <= 12; ++i) {
        EXPECT_EQ(px(b.PicEmptyFill, 0, i), qRgb(192, 255, 192));
        EXPECT_EQ(px(b.PicEmptyFill2, i, 0), qRgb(192, 255, 192));
        EXPECT_EQ(px(b.PicFullFill, 0, i), qRgb(113, 142, 0));
    }
    // The bevel rows stay untouched by the recolouring.
    EXPECT_EQ(px(b.PicEmptyFill, 0, 5), kEmptyBevel.at(5));
    EXPECT_EQ(px(b.PicEmptyFill, 0, 13), kEmptyBevel.at(13));
}

TEST(SliderDrawing, HandleOffsetsFromTheValue) {
    Slider s;
    setUpNineSteps(s, 195, 0);
    EXPECT_EQ(s.HandleOffset(), 10);
    s.setValue(9);
    EXPECT_EQ(s.HandleOffset(), 162); // W - 33: 161.5 goes to the even 162
    s.setValue(5);
    EXPECT_EQ(s.HandleOffset(), 94); // a = 84 (83.89), b = 94 (94.5)
    s.resize(196, 20);
    s.setValue(9);
    EXPECT_EQ(s.HandleOffset(), 162); // W - 34: 162.5 goes to 162

    Slider ogg;
    ogg.resize(217, 20);
    ogg.setMax(10);
    ogg.setMin(-2);
    ogg.setValue(3);
    EXPECT_EQ(ogg.HandleOffset(), 83); // a = 43, b = 54 (53.5), pos = 83 (82.83)
    // With a negative Min the halves fall differently: a = -29, b = -18 (-18.5), pos = 11.
    ogg.setValue(-2);
    EXPECT_EQ(ogg.HandleOffset(), 11);
}

TEST(SliderDrawing, HorizontalPicture) {
    Slider s;
    setUpNineSteps(s, 195, 5);
    const QImage& img = s.surface();
    ASSERT_EQ(img.size(), QSize(195, 20));
    const int pos = s.HandleOffset();
    ASSERT_EQ(pos, 94);
    EXPECT_TRUE(sameBlock(img, s.bitmaps().PicHandle, QPoint(pos, 4)));
    EXPECT_TRUE(sameBlock(img, s.bitmaps().PicLeft, QPoint(0, 0)));
    EXPECT_TRUE(sameBlock(img, s.bitmaps().PicRight, QPoint(195 - 14, 0)));
    for (int y = 6; y <= 12; ++y) {
        // Filled part between the left cap and the handle, empty part up to the right cap.
        for (int x = 11; x < pos; ++x)
            ASSERT_EQ(px(img, x, y), qRgb(113, 142, 0)) << x << "," << y;
        for (int x = pos + 19; x < 195 - 14; ++x)
            ASSERT_EQ(px(img, x, y), qRgb(192, 255, 192)) << x << "," << y;
    }
    // Outside the handle the bevel rows of the empty strip show as they are.
    for (int y : {0, 1, 2, 3, 14, 15, 19})
        EXPECT_EQ(px(img, pos + 30, y), kEmptyBevel.at(y)) << y;
}

TEST(SliderDrawing, FillColourFollowsTheValue) {
    Slider s;
    setUpNineSteps(s, 195, 5);
    // 4/9 and 5/9 of 255 are 113.33 and 141.67.
    EXPECT_EQ(s.FillColor(), 113u | 142u << 8);
    s.setValue(0);
    EXPECT_EQ(s.FillColor(), kRed);
    EXPECT_EQ(px(s.surface(), 5, 9), px(s.bitmaps().PicLeft, 5, 9)); // the cap covers the fill
    s.setValue(9);
    EXPECT_EQ(s.FillColor(), kGreen);
    EXPECT_EQ(px(s.surface(), 100, 9), qRgb(0, 255, 0));
}

TEST(SliderDrawing, VerticalPicture) {
    Slider s;
    s.setStyle(1);
    s.resize(20, 195);
    s.setMin(0);
    s.setMax(9);
    s.setBackColor(0x00C0FFC0);
    s.setForeColor(kRed);
    s.setForeColor2(kGreen);
    s.setValue(0);
    EXPECT_EQ(s.HandleOffset(), 30); // b = 30 (29.5)
    s.setValue(9);
    EXPECT_EQ(s.HandleOffset(), 180); // b = 180 (180.5)
    s.setValue(5);
    const int pos = s.HandleOffset(); // a = 84, b = 114 (113.5)
    ASSERT_EQ(pos, 114);
    const QImage& img = s.surface();
    ASSERT_EQ(img.size(), QSize(20, 195));
    const int top = 195 - pos;
    EXPECT_TRUE(sameBlock(img, s.bitmaps().PicHandle2, QPoint(4, top)));
    EXPECT_TRUE(sameBlock(img, s.bitmaps().PicUp, QPoint(0, 0)));
    EXPECT_TRUE(sameBlock(img, s.bitmaps().PicDown, QPoint(0, 195 - 11)));
    for (int x = 6; x <= 12; ++x) {
        for (int y = 14; y < top; ++y)
            ASSERT_EQ(px(img, x, y), qRgb(192, 255, 192)) << x << "," << y;
        for (int y = top + 19; y < 195 - 11; ++y)
            ASSERT_EQ(px(img, x, y), qRgb(113, 142, 0)) << x << "," << y;
    }
    for (int x : {0, 1, 4, 13, 19})
        EXPECT_EQ(px(img, x, 50), kEmptyBevel.at(x)) << x;
    // The horizontal strip was not touched: the fill goes into the strip being shown.
    EXPECT_NE(px(s.bitmaps().PicFullFill, 0, 9), qRgb(113, 142, 0));
}

TEST(SliderDrawing, SizeRule) {
    Slider s;
    s.resize(50, 30);
    EXPECT_EQ(s.size(), QSize(63, 20));
    s.resize(300, 5);
    EXPECT_EQ(s.size(), QSize(300, 20));
    s.show(); // a hidden widget gets its resize when it is shown
    EXPECT_EQ(s.surface().size(), QSize(300, 20));

    Slider v;
    v.setStyle(1);
    v.resize(50, 30);
    EXPECT_EQ(v.size(), QSize(20, 63));
    v.show();
    v.resize(40, 10); // shown or not, the same rule
    EXPECT_EQ(v.size(), QSize(20, 63));
}

TEST(SliderDrawing, OrientationChangeTurnsTheExtent) {
    Slider s;
    s.resize(372, 20);
    s.setStyle(1);
    EXPECT_EQ(s.size(), QSize(20, 372));
    EXPECT_EQ(s.surface().size(), QSize(20, 372));
    s.setStyle(2); // still vertical: keeps its length
    EXPECT_EQ(s.size(), QSize(20, 372));
    s.setStyle(0);
    EXPECT_EQ(s.size(), QSize(372, 20));
    s.setStyle(0);
    EXPECT_EQ(s.size(), QSize(372, 20));

    Slider shortOne;
    shortOne.resize(63, 20);
    shortOne.setStyle(1);
    EXPECT_EQ(shortOne.size(), QSize(20, 63));
}

TEST(SliderDrawing, HighDensityScalesThePicture) {
    Slider s;
    setUpNineSteps(s, 195, 5);
    QImage dense(QSize(195, 20) * 2, QImage::Format_ARGB32_Premultiplied);
    dense.setDevicePixelRatio(2);
    dense.fill(Qt::transparent);
    s.render(&dense);
    const QImage& logical = s.surface();
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 195; ++x) {
            ASSERT_EQ(px(dense, 2 * x, 2 * y), px(logical, x, y)) << x << "," << y;
            ASSERT_EQ(px(dense, 2 * x + 1, 2 * y + 1), px(logical, x, y)) << x << "," << y;
        }
    // The handle still sits at the logical offset.
    EXPECT_EQ(s.HandleOffset(), 94);
}

TEST(SliderDrawing, ShownWidgetShowsTheSurface) {
    Slider s;
    setUpNineSteps(s, 195, 5);
    s.show();
    const QImage shown = s.grab().toImage();
    ASSERT_EQ(shown.size(), QSize(195, 20));
    EXPECT_EQ(px(shown, 50, 9), qRgb(113, 142, 0));
    EXPECT_EQ(px(shown, 150, 9), qRgb(192, 255, 192));
    EXPECT_EQ(px(shown, 100, 9), px(s.bitmaps().PicHandle, 6, 5));
}

} // namespace
