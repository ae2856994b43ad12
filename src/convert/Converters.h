#pragma once

#include "convert/BatchDriver.h"

namespace kv {

// Gives a batch the converter of every output format this build writes, each followed by the
// copy of the source's tags. The window and kelvanto-batch both call it, so they convert alike;
// the window passes its own WMA converter, which also shows the bitrates a file was offered.
void RegisterConverters(BatchDriver& driver, Converter wma = {});

} // namespace kv
