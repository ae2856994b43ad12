#include "formats/EncodedConverter.h"

#include "formats/DecodePump.h"
#include "formats/OutputFile.h"
#include "engine/Decoders.h"
#include "formats/EncodedFileWriter.h"

namespace kv {

FileOutcome ConvertEncoded(const EncodedFormat& format, const QString& source, const QString& output,
                           const ConversionOptions& options, ConversionControl& control) {
    StagedOutput staged;
    QString why;
    if (!staged.open(output, &why)) {
        control.reportError(why);
        return FileOutcome::Error;
    }
    auto fail = [&](const QString& reason) {
        control.reportError(reason);
        staged.discard();
        return FileOutcome::Error;
    };

    std::unique_ptr<DecodeStream> stream = OpenStreamUnicode(source, format.streamOptions());
    if (!stream)
        return fail(SourceFailure(source));
    const double seconds = stream->bytesToSeconds(stream->length());
    const EncoderSetup setup = format.encoderSetup(stream->info(), seconds, options.settings);
    if (!EncoderPresent(setup))
        return fail(QStringLiteral("the %1 encoder (%2) is not in this system's FFmpeg")
                        .arg(format.name(), QString::fromLatin1(setup.encoder)));
    EncodedFileWriter writer;
    if (!writer.open(staged.fd(), output, stream->info(), setup))
        return fail(writer.errorString());
    const FileOutcome outcome =
        PumpIntoWriter(stream, kEncodedBlockBytes, control, source, writer, fail);
    if (outcome == FileOutcome::Error)
        return outcome;
    // Whole (a stopped file too): only now does it carry the output's name.
    if (!staged.commit(&why)) {
        control.reportError(why);
        return FileOutcome::Error;
    }
    return outcome;
}

FileOutcome EncodedFormat::convert(const QString& source, const QString& output,
                                   const ConversionOptions& options,
                                   ConversionControl& control) const {
    return ConvertEncoded(*this, source, output, options, control);
}

} // namespace kv
