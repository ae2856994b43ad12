#include "formats/DecodePump.h"

#include "formats/Conversion.h"
#include "engine/AudioError.h"
#include "engine/DecodeStream.h"

#include <algorithm>
#include <vector>

namespace kv {

PumpEnd PumpStream(DecodeStream& stream, std::size_t blockBytes, ConversionControl& control,
                   const std::function<bool(const char*, std::int64_t)>& sink) {
    const std::int64_t length = stream.length();
    std::vector<char> buffer(blockBytes);
    while (stream.isActive()) {
        const std::int64_t count = stream.read(buffer.data(), static_cast<std::int64_t>(blockBytes));
        if (count < 0 || AudioErrorGetCode() != kAudioOk)
            return PumpEnd::DecodeFailed;
        if (!sink(buffer.data(), count))
            return PumpEnd::SinkFailed;
        if (length > 0)
            control.progress(static_cast<double>(stream.position()) / length * 100.0);
        if (control.stopRequested())
            return PumpEnd::Cancelled;
    }
    return EndedShort(stream) ? PumpEnd::EndedShort : PumpEnd::Drained;
}

bool EndedShort(const DecodeStream& stream) {
    if (!stream.lengthIsExact() || stream.length() <= 0)
        return false;
    const double missing = stream.bytesToSeconds(stream.length() - stream.position());
    return missing > std::max(0.5, 0.01 * stream.bytesToSeconds(stream.length()));
}

QString EndedShortReason(const QString& source, const DecodeStream& stream) {
    return QStringLiteral("%1: the file ends after %2 s of its %3 s; it may be cut short")
        .arg(source)
        .arg(stream.bytesToSeconds(stream.position()), 0, 'f', 1)
        .arg(stream.bytesToSeconds(stream.length()), 0, 'f', 1);
}

QString SourceFailure(const QString& source) {
    const QString text = GetAudioErrorText(AudioErrorGetCode());
    return source + QStringLiteral(": ") +
           (text.isEmpty() ? QStringLiteral("cannot be decoded") : text);
}

} // namespace kv
