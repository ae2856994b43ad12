#pragma once

#include "formats/Conversion.h"
#include "engine/DecodeStream.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace kv {

enum class PumpEnd { Drained, Cancelled, DecodeFailed, SinkFailed, EndedShort };

// Reads `stream` to its end in blocks of `blockBytes`, handing each block to `sink` and the
// progress to `control`. A stop request ends it after the block in hand. A read that fails, or
// that sets the thread's audio error (a source failing part-way), ends in DecodeFailed, so no
// converter calls a short file complete; the error code stays set for the caller to report.
// A stream whose stated length is exact and that ends well before it (a file cut short) ends
// in EndedShort; EndedShortReason says so.
PumpEnd PumpStream(DecodeStream& stream, std::size_t blockBytes, ConversionControl& control,
                   const std::function<bool(const char* data, std::int64_t bytes)>& sink);

// True when `stream`, read to its end, stopped short of the length its file states by more
// than half a second and more than 1 % of it.
bool EndedShort(const DecodeStream& stream);
// The batch's reason for such a stream: how far the source got of its stated length.
QString EndedShortReason(const QString& source, const DecodeStream& stream);

// The batch's reason for a source that would not open or decode: the source and the engine's
// text of the thread's error code.
QString SourceFailure(const QString& source);

// Pumps `stream` into a file writer (write, finish, errorString) and finishes the file, a
// stopped one too, so it plays as far as it got. A failure's reason goes to `fail`, whose
// result is returned.
template <typename Writer, typename Fail>
FileOutcome PumpIntoWriter(std::unique_ptr<DecodeStream>& stream, std::size_t blockBytes,
                           ConversionControl& control, const QString& source, Writer& writer,
                           Fail&& fail) {
    const PumpEnd end =
        PumpStream(*stream, blockBytes, control, [&](const char* data, std::int64_t bytes) {
            return writer.write(data, bytes);
        });
    if (end == PumpEnd::DecodeFailed)
        return fail(SourceFailure(source));
    if (end == PumpEnd::EndedShort)
        return fail(EndedShortReason(source, *stream));
    if (end == PumpEnd::SinkFailed)
        return fail(writer.errorString());
    stream.reset();
    if (!writer.finish())
        return fail(writer.errorString());
    return end == PumpEnd::Cancelled ? FileOutcome::Cancelled : FileOutcome::Complete;
}

} // namespace kv
