#include "convert/WavConverter.h"

#include "convert/DecodePump.h"
#include "convert/WavFileWriter.h"
#include "engine/AudioError.h"
#include "engine/Decoders.h"


namespace kv {
FileOutcome ConvertToWAV(const QString& source, const QString& output, ConversionControl& control) {
    StreamOpenOptions options;
    options.maxChannels = 2;
    std::unique_ptr<DecodeStream> stream = OpenStreamUnicode(source, options);
    if (!stream) {
        control.reportError(SourceFailure(source));
        return FileOutcome::Error;
    }

    const StreamInfo& info = stream->info();
    const WavFormat format{info.sampleRate, info.channels, info.eightBit ? 8 : 16};
    WavFileWriter writer;
    if (!writer.create(output, format)) {
        control.reportError(writer.errorString());
        return FileOutcome::Error;
    }

    auto fail = [&](const QString& reason) {
        control.reportError(reason);
        writer.discard();
        return FileOutcome::Error;
    };

    // A source that fails part-way (an unreadable sector, a synthesizer that will not start)
    // leaves no file that looks complete.
    return PumpIntoWriter(stream, kWavBlockBytes, control, source, writer, fail);
}

} // namespace kv
