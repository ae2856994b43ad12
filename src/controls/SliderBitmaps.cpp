#include "controls/SliderBitmaps.h"

#include <functional>

namespace kv {

const std::array<unsigned, kTrackThickness> kEmptyStripRows = {
    0x020202, 0xD1D1D3, 0xCCCACF, 0xA49DA4, 0x372929, 0x4E474E,           // bevel
    0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, // groove band
    0x8C918B, 0xC1C1C1, 0x3F3D40, 0x010302, 0x030303, 0x010302, 0x4E474E, // bevel
};

// The filled strip catches a little more light than the empty one.
const std::array<unsigned, kTrackThickness> kFullStripRows = {
    0x020202, 0xD6D4D6, 0xCECCD0, 0xA8A0A6, 0x3A2B2B, 0x524A50,           // bevel
    0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, // groove band
    0x8E938D, 0xC4C3C3, 0x413E41, 0x020302, 0x030303, 0x020302, 0x4E474E, // bevel
};

namespace {

using Shade = std::function<unsigned(int along, int across)>;

QImage blank(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::black);
    return img;
}

// Draws a piece given in track coordinates (along the track, across it) onto a horizontal
// or a vertical image.
QImage piece(int length, bool vertical, const Shade& shade) {
    QImage img = vertical ? blank(kTrackThickness, length) : blank(length, kTrackThickness);
    for (int a = 0; a < length; ++a)
        for (int c = 0; c < kTrackThickness; ++c) {
            const QRgb rgb = 0xFF000000u | shade(a, c);
            if (vertical)
                img.setPixel(c, a, rgb);
            else
                img.setPixel(a, c, rgb);
        }
    return img;
}

bool inGroove(int across) {
    return across >= 4 && across <= 14;
}

// An end cap; `d` counts from the outer end, `i` from the edge that meets the strip. The
// cap on the lit side has a light rim and a shadowed inner wall, the other the reverse.
unsigned capShade(int d, int i, int c, bool litRim) {
    const bool rimCorner = c == 0 || c == kTrackThickness - 1;
    if (litRim) {
        if (d == 0)
            return rimCorner ? 0xA49DA4 : 0x020202;
        if (inGroove(c) && i == 1)
            return 0x372929;
        if (inGroove(c) && i == 0)
            return c == 4 || c == 14 ? kEmptyStripRows[c] : 0x4E474E;
        if (!inGroove(c))
            return kEmptyStripRows[c];
        if (d == 1)
            return 0xD1D1D3;
        if (d == 2)
            return 0xCCCACF;
        return d % 2 ? 0xA49DA4 : 0x9E979E;
    }
    if (d == 0)
        return rimCorner ? 0x4E474E : 0x010302;
    if (d == 1)
        return rimCorner ? kEmptyStripRows[c] : 0x3F3D40;
    if (inGroove(c) && i == 0)
        return 0x8C918B;
    if (inGroove(c) && i == 1)
        return 0xC1C1C1;
    if (!inGroove(c))
        return kEmptyStripRows[c];
    if (d == 2)
        return 0x6E696E;
    return d % 2 ? 0xA49DA4 : 0x9E979E;
}

// A raised knob over the groove; `a` runs along the track (19 pixels), `c` across (10).
unsigned handleShade(int a, int c) {
    constexpr int kLong = 19, kShort = 10;
    const bool endA = a == 0 || a == kLong - 1;
    const bool endC = c == 0 || c == kShort - 1;
    if (endA && endC) // rounded corners show the groove edge beneath
        return c == 0 ? kEmptyStripRows[4] : kEmptyStripRows[13];
    if (endA || endC)
        return 0x202024;
    if (a == 1 || c == 1)
        return 0xFFFFFF;
    if (a == kLong - 2 || c == kShort - 2)
        return 0x6C6C78;
    // Grip ridges in the middle.
    if (c >= 3 && c <= 6 && (a == 6 || a == 9 || a == 12))
        return 0x5A5A66;
    if (c >= 3 && c <= 6 && (a == 7 || a == 10 || a == 13))
        return 0xFAFAFA;
    const int shade = 236 - (c - 2) * 9;
    return static_cast<unsigned>(shade << 16 | shade << 8 | (shade + 6));
}

QImage strip(const std::array<unsigned, kTrackThickness>& rows, bool vertical) {
    return piece(1, vertical, [&](int, int c) { return rows[c]; });
}

QImage cap(int length, bool vertical, bool outerFirst, bool litRim) {
    return piece(length, vertical, [=](int a, int c) {
        const int d = outerFirst ? a : length - 1 - a;
        return capShade(d, length - 1 - d, c, litRim);
    });
}

} // namespace

SliderBitmaps StandardSliderBitmaps() {
    SliderBitmaps b;
    // The minimum end is at the left or at the bottom; light falls from the top left.
    b.PicLeft = cap(11, false, true, true);
    b.PicRight = cap(14, false, false, false);
    b.PicUp = cap(14, true, true, true);
    b.PicDown = cap(11, true, false, false);
    b.PicEmptyFill = strip(kEmptyStripRows, false);
    b.PicFullFill = strip(kFullStripRows, false);
    b.PicEmptyFill2 = strip(kEmptyStripRows, true);
    b.PicFullFill2 = strip(kFullStripRows, true);

    b.PicHandle = QImage(19, 10, QImage::Format_RGB32);
    b.PicHandle2 = QImage(10, 19, QImage::Format_RGB32);
    for (int a = 0; a < 19; ++a)
        for (int c = 0; c < 10; ++c) {
            const QRgb rgb = 0xFF000000u | handleShade(a, c);
            b.PicHandle.setPixel(a, c, rgb);
            b.PicHandle2.setPixel(c, a, rgb);
        }
    return b;
}

} // namespace kv
