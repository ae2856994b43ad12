#include "convert/WavConverter.h"

#include "convert/WavFileWriter.h"
#include "engine/AudioError.h"
#include "engine/Decoders.h"

#include <QFile>

#include <vector>

namespace kv {
namespace {
QString decodeError(const QString& source) {
    const QString text = GetAudioErrorText(AudioErrorGetCode());
    return source + QStringLiteral(": ") +
           (text.isEmpty() ? QStringLiteral("cannot be decoded") : text);
}
} // namespace

FileOutcome ConvertToWAV(const QString& source, const QString& output, ConversionControl& control) {
    StreamOpenOptions options;
    options.maxChannels = 2;
    std::unique_ptr<DecodeStream> stream = OpenStreamUnicode(source, options);
    if (!stream) {
        control.reportError(decodeError(source));
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
        writer.abandon();
        QFile::remove(output);
        return FileOutcome::Error;
    };

    const std::int64_t length = stream->length();
    std::vector<char> buffer(kWavBlockBytes);
    FileOutcome outcome = FileOutcome::Complete;
    while (stream->isActive()) {
        const std::int64_t count = stream->read(buffer.data(), kWavBlockBytes);
        // A source that fails part-way (an unreadable sector, a synthesizer that will not
        // start) leaves no file that looks complete.
        if (count < 0 || AudioErrorGetCode() != kAudioOk)
            return fail(decodeError(source));
        if (!writer.write(buffer.data(), count))
            return fail(writer.errorString());
        if (length > 0)
            control.progress(static_cast<double>(stream->position()) / length * 100.0);
        if (control.stopRequested()) {
            outcome = FileOutcome::Cancelled;
            break;
        }
    }
    stream.reset();
    if (!writer.finish())
        return fail(writer.errorString());
    return outcome;
}

} // namespace kv
