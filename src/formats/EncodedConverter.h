#pragma once

#include "formats/Conversion.h"
#include "formats/Format.h"

namespace kv {

// Bytes asked of the decoder per block: progress and the stop flag are looked at after each.
inline constexpr int kEncodedBlockBytes = 262144;

// Decodes `source` and encodes it in-process as `format` (decode, resample, encode, write)
// into a temporary file beside `output`, which takes the claim's place only when the file is
// whole (StagedOutput): Complete, or Cancelled with the part written finished and in place so
// that it plays. Error removes the temporary file and the claim, each only while its name
// leads to it.
FileOutcome ConvertEncoded(const EncodedFormat& format, const QString& source, const QString& output,
                           const ConversionOptions& options, ConversionControl& control);

} // namespace kv
