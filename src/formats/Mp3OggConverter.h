#pragma once

#include "formats/Conversion.h"
#include "formats/EncoderProcess.h"

#include <QStringList>

namespace kv {

// Bytes asked of the decoder per block: progress and the stop flag are looked at after each.
inline constexpr int kMp3OggBlockBytes = 262144;

// An encoder program by name ("lame", "oggenc") and its arguments, in the order the encoder
// takes them; the output path is one argument of its own.
struct EncoderCommand {
    QString program;
    QStringList arguments;
    bool operator==(const EncoderCommand&) const = default;
};

// The command for the output format of `options` (MP3 or Ogg Vorbis); an empty program for
// any other format.
EncoderCommand EncoderCommandFor(const ConversionOptions& options, const QString& output);

// Decodes `source` and feeds it as 16-bit PCM WAVE to lame (MP3: at most two channels) or
// oggenc (Ogg Vorbis: up to eight, in the Vorbis speaker order), which write `output`; an
// empty file there (the claimed name) is written over. Complete only when the encoder exited
// with status 0 and left a non-empty file; Cancelled (after a Stop) keeps the partial file,
// which the encoder finishes as a playable one. Error writes one line into the error log,
// whose text says why, and removes what was written.
FileOutcome ConvertToMP3_OGG(const QString& source, const QString& output,
                             const ConversionOptions& options, ConversionControl& control,
                             std::chrono::milliseconds watchdog = kEncoderWatchdog);

} // namespace kv
