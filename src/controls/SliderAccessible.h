#pragma once

namespace kv {

// Lets assistive technology see a Slider as a slider with its value and range. Safe to call
// more than once.
void InstallSliderAccessibility();

} // namespace kv
