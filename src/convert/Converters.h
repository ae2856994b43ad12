#pragma once

#include "convert/BatchDriver.h"

namespace kv {

// Gives a batch the converter of every output format this build writes. The window and
// kelvanto-batch both call it, so they convert alike.
void RegisterConverters(BatchDriver& driver);
// The converter RegisterConverters gives `format`; empty for a format this build cannot write.
Converter ConverterFor(int format);

} // namespace kv
