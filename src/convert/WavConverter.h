#pragma once

#include "convert/BatchDriver.h"

namespace kv {

// Bytes asked of the decoder per block: progress and the stop flag are looked at after each.
inline constexpr int kWavBlockBytes = 20000;

// Decodes `source` block by block into an uncompressed WAVE file at `output` (the empty file
// claimed for it, or a missing one; see OpenClaimedOutput), with the
// source's rate, at most two channels (more are mixed down) and 8 or 16 bits as decoded.
// Complete, Cancelled (a valid shorter file) or Error (no file is left behind: a source that
// cannot be opened creates none, and a failed write removes what was written).
FileOutcome ConvertToWAV(const QString& source, const QString& output, ConversionControl& control);

} // namespace kv
