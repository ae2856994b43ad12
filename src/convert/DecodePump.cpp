#include "convert/DecodePump.h"

#include "convert/BatchDriver.h"
#include "engine/AudioError.h"
#include "engine/DecodeStream.h"

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
    return PumpEnd::Drained;
}

QString SourceFailure(const QString& source) {
    const QString text = GetAudioErrorText(AudioErrorGetCode());
    return source + QStringLiteral(": ") +
           (text.isEmpty() ? QStringLiteral("cannot be decoded") : text);
}

} // namespace kv
