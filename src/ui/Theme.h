#pragma once

#include <cstdint>

class QWidget;

namespace kv {

// The window's palette, 0x00BBGGRR.
struct ThemePalette {
    std::uint32_t lThemeColor1 = 0;
    std::uint32_t lThemeColor2 = 0;
    std::uint32_t lThemeColor3 = 0;
    std::uint32_t lThemeColor4 = 0;
};

// Sets the palette and colours every control under `window` by its kind. The header strip
// "MyFrame1" and the language picker keep their own colours.
void ApplyTheme(QWidget* window, ThemePalette& palette);

} // namespace kv
