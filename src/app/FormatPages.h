#pragma once

#include "formats/Format.h"

#include <QRect>

#include <functional>

class QLabel;
class QWidget;

namespace kv {

class FramePanel;
class Slider;

// The controls of the options page of one format encoded in-process.
struct FormatPageControls {
    const Format* format = nullptr;
    FramePanel* panel = nullptr;
    Slider* slider = nullptr;
    QLabel* echo = nullptr;
    QLabel *low = nullptr, *high = nullptr; // under the slider's ends
};

// Puts a new control at its design place; the window keeps the place for mirroring.
using PlaceControl = std::function<void(QWidget* control, const QString& name, const QRect& at)>;

// The object name of a page's label for `role` ("Title", "Low", "High", "Note", "Value"):
// "lbl" + the format's name + role, the names the caption table uses.
QString FormatPageLabelName(const Format& format, const char* role);

// Builds the page of `format` on `parent`, at `rect`, from its description (Format::page()):
// the slider starts at the setting's default and echoes its value. The labels get their texts
// from the window's captions.
FormatPageControls BuildFormatPage(const Format& format, QWidget* parent, const QRect& rect,
                                   const PlaceControl& place);

// Where the slider of a page moves from `value` by the arrow keys (`direction` -1 or +1): to the
// next step of its range's grid, so a value stored off the grid comes onto it.
int SteppedValue(const Format::Page& page, int value, int direction);

} // namespace kv
