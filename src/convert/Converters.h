#pragma once

#include "convert/BatchDriver.h"

namespace kv {

// Gives a batch the converter of every output format this build writes. The window and
// kelvanto-batch both call it, so they convert alike; the window passes its own WMA converter,
// which also shows the bitrates a file was offered.
void RegisterConverters(BatchDriver& driver, Converter wma = {});
// The converter RegisterConverters gives `format` (`own` in place of the built-in one): the
// source watched while it is converted, then the source's tags copied into a complete output.
// Empty for a format this build cannot write.
Converter ConverterFor(int format, Converter own = {});

} // namespace kv
