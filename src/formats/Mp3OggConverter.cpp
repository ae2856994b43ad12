#include "formats/Mp3OggConverter.h"

#include "formats/DecodePump.h"
#include "formats/ErrorLog.h"
#include "formats/LittleEndian.h"
#include "formats/OutputFile.h"
#include "engine/AudioError.h"
#include "engine/Decoders.h"
#include "settings/OutputSettings.h"
#include "settings/ProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QtEndian>

#include <bit>
#include <cstring>

namespace kv {
namespace {

// A list item's number in its shortest form: "44.1 KHz" 44.1, "Auto Sampling" 0.
QString listNumber(OutputSetting list, int index) {
    const QStringList& items = ListItems(list);
    const QString item = index >= 0 && index < items.size() ? items[index] : QString();
    return QString::number(LeadingNumber(item), 'g', QLocale::FloatingPointShortest);
}

QString stereoModeLetter(int index) {
    const QStringList& items = ListItems(OutputSetting::cmbMP3StereoMode);
    return index >= 0 && index < items.size() ? items[index].left(1).toLower() : QString();
}

// The header of the stream the encoders read: 16-bit PCM, both sizes 0 ("read to the end";
// lame and oggenc take it so). More than two channels are declared with their speakers, as
// WAVE_FORMAT_EXTENSIBLE names them.
QByteArray streamHeader(const StreamInfo& info) {
    const auto channels = static_cast<std::uint16_t>(info.channels);
    const auto blockAlign = static_cast<std::uint16_t>(channels * 2);
    const bool extensible =
        channels > 2 && std::popcount(info.channelMask) == static_cast<int>(channels);
    QByteArray h("RIFF", 4);
    put32(h, 0);
    h.append("WAVEfmt ", 8);
    put32(h, extensible ? 40 : 16);
    put16(h, extensible ? 0xFFFE : 1);
    put16(h, channels);
    put32(h, static_cast<std::uint32_t>(info.sampleRate));
    put32(h, static_cast<std::uint32_t>(info.sampleRate) * blockAlign);
    put16(h, blockAlign);
    put16(h, 16);
    if (extensible) {
        put16(h, 22); // extension size
        put16(h, 16); // valid bits
        put32(h, static_cast<std::uint32_t>(info.channelMask));
        // KSDATAFORMAT_SUBTYPE_PCM
        static constexpr char kPcm[16] = {1,      0, 0, 0,      0, 0,    0x10,   0,
                                          '\x80', 0, 0, '\xaa', 0, 0x38, '\x9b', 0x71};
        h.append(kPcm, 16);
    }
    h.append("data", 4);
    put32(h, 0);
    return h;
}

QString seconds(std::chrono::milliseconds ms) {
    return QString::number(static_cast<double>(ms.count()) / 1000.0, 'g',
                           QLocale::FloatingPointShortest);
}

// Why the encoder did not finish well; empty when it did.
QString encoderFailure(const QString& name, EncoderProcess::WriteResult written,
                       const EncoderProcess::Exit& exit, std::chrono::milliseconds watchdog) {
    using W = EncoderProcess::WriteResult;
    if (written == W::Stalled)
        return QStringLiteral("%1 read nothing for %2 seconds and was stopped")
            .arg(name, seconds(watchdog));
    if (exit.timedOut)
        return QStringLiteral("%1 did not end within %2 seconds after its input ended and was "
                              "stopped")
            .arg(name, seconds(watchdog));
    if (!exit.exited)
        return QStringLiteral("%1 was ended by signal %2 (%3)")
            .arg(name)
            .arg(exit.signal)
            .arg(QString::fromLocal8Bit(strsignal(exit.signal)));
    if (exit.status != 0)
        return QStringLiteral("%1 exited with status %2").arg(name).arg(exit.status);
    if (written == W::Closed)
        return QStringLiteral("%1 stopped reading its input").arg(name);
    return QString();
}

// True when the Ogg file open in `file` ends with a whole page that closes its stream. oggenc
// exits 0, or 1 with its summary as the last line, when its writes fail (a full disk, a size
// limit), leaving a file cut at a buffer's end.
bool OggEndsWhole(QFile& file) {
    const qint64 size = file.size();
    // A page is at most 27 + 255 + 255 * 255 bytes.
    constexpr qint64 kMaxPage = 27 + 255 + 255 * 255;
    const qint64 from = std::max<qint64>(0, size - kMaxPage);
    if (!file.seek(from))
        return false;
    const QByteArray tail = file.read(size - from);
    if (tail.size() != size - from)
        return false;
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(tail[i]); };
    // The last page is the one whose length reaches exactly to the end; "OggS" may also occur
    // inside packet data, so each candidate is measured.
    for (qsizetype at = tail.lastIndexOf("OggS"); at >= 0;
         at = at > 0 ? tail.lastIndexOf("OggS", at - 1) : -1) {
        if (tail.size() - at < 27 || byte(at + 4) != 0)
            continue;
        const int segments = byte(at + 26);
        if (tail.size() - at < 27 + segments)
            continue;
        qint64 length = 27 + segments;
        for (int i = 0; i < segments; ++i)
            length += byte(at + 27 + i);
        if (at + length == tail.size())
            return (byte(at + 5) & 0x04) != 0; // end of stream
    }
    return false;
}

} // namespace

EncoderCommand EncoderCommandFor(const ConversionOptions& options, const QString& output) {
    EncoderCommand c;
    if (options.outputFormat == kFormatMP3) {
        const Mp3Options& o = options.mp3;
        c.program = QStringLiteral("lame");
        // The first selected mode counts; with none, variable bitrate.
        if (o.mode == BitrateMode::Constant)
            c.arguments << "--cbr"
                        << "-b" << QString::number(o.constantKbps);
        else if (o.mode == BitrateMode::Average)
            c.arguments << "--abr" << QString::number(o.averageKbps);
        else
            c.arguments << "-V" << QString::number(9 - o.vbrValue);
        c.arguments << "-m" << stereoModeLetter(o.stereoModeIndex) << "--resample"
                    << listNumber(OutputSetting::cmbMP3Freq, o.freqIndex) << "-q"
                    << QString::number(9 - o.encoderQuality) << "-" << output;
    } else if (options.outputFormat == kFormatOGG) {
        const OggOptions& o = options.ogg;
        c.program = QStringLiteral("oggenc");
        if (o.mode == BitrateMode::Variable) {
            // oggenc refuses any quality below -1 and writes nothing: the slider's lowest
            // step asks for its lowest quality.
            c.arguments << "-b" << QString::number(o.variableKbps) << "--quality"
                        << QString::number(std::max(o.quality, -1));
        } else {
            c.arguments << "--managed"
                        << "-b" << QString::number(o.constantKbps);
        }
        c.arguments << "-"
                    << "-o" << output;
    }
    return c;
}

FileOutcome ConvertToMP3_OGG(const QString& source, const QString& output,
                             const ConversionOptions& options, ConversionControl& control,
                             std::chrono::milliseconds watchdog) {
    // The output named in reasons; the encoder itself writes into the file we hold.
    const QString target = output.isEmpty() ? QString() : QFileInfo(output).absoluteFilePath();
    const EncoderCommand command =
        EncoderCommandFor(options, QString::fromLatin1(kEncoderOutputPath));
    QFile out;
    auto failed = [&](int code, const QString& why) {
        QString text = GetAudioErrorText(code);
        if (!why.isEmpty())
            text += QStringLiteral(" (%1)").arg(why);
        AppendErrorLog(text, code, source);
        // The batch's reason names the source when nothing else names a file.
        control.reportError(why.isEmpty() ? source + QStringLiteral(": ") + text : text);
        if (out.isOpen())
            RemoveOwnOutput(out.handle(), output);
        return FileOutcome::Error;
    };
    if (command.program.isEmpty())
        return failed(kAudioErrorIllegalParam, QStringLiteral("not an MP3 or Ogg output"));
    if (target.isEmpty())
        return failed(kAudioErrorCreate, QStringLiteral("no output name"));
    // Only the empty file that claims the name is written over, never a file with content.
    // Held from here on, it is the file the encoder writes and the only one a failure removes.
    if (QString why; !OpenClaimedOutput(out, output, &why))
        return failed(kAudioErrorCreate, QFileInfo::exists(output)
                                             ? QStringLiteral("%1 already exists").arg(target)
                                             : why);

    StreamOpenOptions streamOptions;
    streamOptions.maxChannels = options.outputFormat == kFormatMP3 ? 2 : 8;
    streamOptions.sixteenBit = true;
    streamOptions.countLayout = true;
    std::unique_ptr<DecodeStream> stream = OpenStreamUnicode(source, streamOptions);
    if (!stream)
        return failed(AudioErrorGetCode(), QString());

    // A missing encoder is found out before any audio is decoded.
    const QString program = EncoderProcess::Find(command.program);
    if (program.isEmpty())
        return failed(kAudioErrorFileOpen, QStringLiteral("%1 was found neither in %2 nor on PATH")
                                               .arg(command.program, ProgramFolder()));
    EncoderProcess encoder(watchdog);
    if (!encoder.start(program, command.arguments, out.handle()))
        return failed(kAudioErrorFileOpen, encoder.errorText());

    using W = EncoderProcess::WriteResult;
    const QByteArray header = streamHeader(stream->info());
    W written = encoder.write(header.constData(), static_cast<std::size_t>(header.size()));
    const PumpEnd end =
        written != W::Written
            ? PumpEnd::SinkFailed
            : PumpStream(*stream, kMp3OggBlockBytes, control,
                         [&](const char* data, std::int64_t bytes) {
                             written = encoder.write(data, static_cast<std::size_t>(bytes),
                                                     [&] { return control.stopRequested(); });
                             return written == W::Written;
                         });
    const int decodeError = AudioErrorGetCode();
    const FileOutcome outcome = end == PumpEnd::Cancelled || written == W::Stopped
                                    ? FileOutcome::Cancelled
                                    : FileOutcome::Complete;
    const QString cutShort =
        end == PumpEnd::EndedShort ? EndedShortReason(source, *stream) : QString();
    stream.reset();
    if (end == PumpEnd::EndedShort) {
        encoder.finish();
        return failed(kAudioErrorNotAvailable, cutShort);
    }
    if (end == PumpEnd::DecodeFailed) {
        encoder.finish();
        return failed(decodeError != kAudioOk ? decodeError : kAudioErrorFormat,
                      QStringLiteral("the source could not be decoded to its end"));
    }
    // The end of input lets the encoder finish the file, also a cancelled one; a Stop waits
    // only a short while for that.
    const auto grace = outcome == FileOutcome::Cancelled ? kEncoderStopGrace : watchdog;
    const EncoderProcess::Exit exit = encoder.finish(grace);
    const qint64 size = out.size();
    // A cut file says more than oggenc's last line, which is its summary.
    if (options.outputFormat == kFormatOGG && exit.exited && !exit.timedOut &&
        written != W::Stalled && size > 0 && !OggEndsWhole(out))
        return failed(kAudioErrorCreate,
                      QStringLiteral("%1 could not write all of %2; is the disk full?")
                          .arg(command.program, target));
    if (QString why = encoderFailure(command.program, written, exit, grace); !why.isEmpty()) {
        if (const QString line = encoder.lastErrorLine(); !line.isEmpty())
            why += QStringLiteral(": ") + line;
        return failed(kAudioErrorCreate, why);
    }
    if (size <= 0)
        return failed(kAudioErrorCreate,
                      QStringLiteral("%1 left no output at %2").arg(command.program, target));
    if (!LeadsTo(output, out.handle()))
        return failed(kAudioErrorCreate,
                      QStringLiteral("%1 wrote %2, but its folder was removed meanwhile")
                          .arg(command.program, target));
    return outcome;
}

} // namespace kv
