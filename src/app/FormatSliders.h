#pragma once

namespace kv {

class PropertyBag;
class frmMain;

// The designed properties of the four format sliders, as their form description holds them.
const PropertyBag& DesignedSliderBag(const char* name);

// Creates sliderWMA, SliderMP3VBR, SliderMP3EncoderQuality and sliderOGG on their format
// panels from their designed properties, at their designed places, each echoing its value in
// its label.
void CreateFormatSliders(frmMain& window);

} // namespace kv
