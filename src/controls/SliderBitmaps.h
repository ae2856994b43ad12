#pragma once

#include <QImage>

#include <array>

namespace kv {

// The ten pieces a slider is drawn from, 24-bit colour. Each slider keeps its own copy
// because it recolours the groove band of the strips.
struct SliderBitmaps {
    QImage PicLeft;       // 11 x 20, left end cap
    QImage PicRight;      // 14 x 20, right end cap
    QImage PicHandle;     // 19 x 10
    QImage PicEmptyFill;  // 1 x 20, empty part of the track
    QImage PicFullFill;   // 1 x 20, filled part of the track
    QImage PicUp;         // 20 x 14, top end cap
    QImage PicDown;       // 20 x 11, bottom end cap
    QImage PicHandle2;    // 10 x 19
    QImage PicEmptyFill2; // 20 x 1
    QImage PicFullFill2;  // 20 x 1
};

// Rows of a strip's cross-section: 0..5 and 13..19 bevel, 6..12 the groove band.
constexpr int kTrackThickness = 20;
constexpr int kBandFirst = 6;
constexpr int kBandLast = 12;

// Bevel of the empty strip, top to bottom (left to right when vertical), as 0xRRGGBB; the
// band rows hold the artwork's own groove colour until the band is painted.
extern const std::array<unsigned, kTrackThickness> kEmptyStripRows;
extern const std::array<unsigned, kTrackThickness> kFullStripRows;

// The standard artwork, freshly drawn.
SliderBitmaps StandardSliderBitmaps();

} // namespace kv
