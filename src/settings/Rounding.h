#pragma once

#include <cfenv>
#include <cmath>

namespace kv {

// Every fraction that becomes an integer goes to the nearest one, a half to the even
// neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
inline double RoundHalfEven(double value) {
    const int mode = std::fegetround();
    if (mode != FE_TONEAREST)
        std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value);
    if (mode != FE_TONEAREST)
        std::fesetround(mode);
    return r;
}

} // namespace kv
