#pragma once

#include "formats/Format.h"

namespace kv {

// Bytes asked of the decoder per block: progress and the stop flag are looked at after each.
inline constexpr int kWavBlockBytes = 20000;

// Decodes `source` block by block into an uncompressed WAVE file at `output` (the empty file
// claimed for it, or a missing one; see OpenClaimedOutput), with the
// source's rate, at most two channels (more are mixed down) and 8 or 16 bits as decoded.
// Complete, Cancelled (a valid shorter file) or Error (no file is left behind: a source that
// cannot be opened creates none, and a failed write removes what was written).
FileOutcome ConvertToWAV(const QString& source, const QString& output, ConversionControl& control);

// WAV: uncompressed PCM as decoded (see ConvertToWAV); its tags are a RIFF INFO list.
class WavFormat final : public Format {
public:
    int id() const override { return kFormatWAV; }
    QString name() const override { return QStringLiteral("WAV"); }
    QString extension() const override { return QStringLiteral("wav"); }
    TagKind tagKind() const override { return TagKind::RiffInfo; }
    std::vector<OutputSetting> settings() const override { return {}; }
    FileOutcome convert(const QString& source, const QString& output,
                        const ConversionOptions& options,
                        ConversionControl& control) const override;
    QString summary(const OutputSettings& settings) const override;
};

} // namespace kv
