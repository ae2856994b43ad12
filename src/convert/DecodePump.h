#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

namespace kv {

class ConversionControl;
class DecodeStream;

enum class PumpEnd { Drained, Cancelled, DecodeFailed, SinkFailed };

// Reads `stream` to its end in blocks of `blockBytes`, handing each block to `sink` and the
// progress to `control`. A stop request ends it after the block in hand. A read that fails, or
// that sets the thread's audio error (a source failing part-way), ends in DecodeFailed, so no
// converter calls a short file complete; the error code stays set for the caller to report.
PumpEnd PumpStream(DecodeStream& stream, std::size_t blockBytes, ConversionControl& control,
                   const std::function<bool(const char* data, std::int64_t bytes)>& sink);

// The batch's reason for a source that would not open or decode: the source and the engine's
// text of the thread's error code.
QString SourceFailure(const QString& source);

} // namespace kv
