#include "formats/WavFormat.h"

#include "formats/DecodePump.h"
#include "formats/WavFileWriter.h"
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
    const WavLayout format{info.sampleRate, info.channels, info.eightBit ? 8 : 16};
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

FileOutcome WavFormat::convert(const QString& source, const QString& output,
                               const ConversionOptions&, ConversionControl& control) const {
    return ConvertToWAV(source, output, control);
}

QString WavFormat::summary(const OutputSettings&) const {
    return QStringLiteral("WAV, Bitrate will be as input");
}

} // namespace kv
