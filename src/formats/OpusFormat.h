#pragma once

#include "formats/Format.h"

namespace kv {

// Opus in Ogg: always 48 kHz (other rates resampled with the best filter at hand), VBR at the
// chosen stereo bitrate, mono at half of it and surround (3 to 8 channels, mapping family 1) at
// one stereo bitrate per coupled pair and half of it per single stream.
class OpusFormat final : public EncodedFormat {
public:
    static constexpr int kId = 5;
    static constexpr int kRate = 48000;
    static constexpr int kMaxChannels = 8;

    int id() const override { return kId; }
    QString name() const override { return QStringLiteral("OPUS"); }
    QString extension() const override { return QStringLiteral("opus"); }
    TagKind tagKind() const override { return TagKind::OpusComments; }
    std::vector<OutputSetting> settings() const override;
    StreamOpenOptions streamOptions() const override;
    EncoderSetup encoderSetup(const StreamInfo& source, double seconds,
                              const OutputSettings& settings) const override;
    QString summary(const OutputSettings& settings) const override;
    Page page() const override;
};

} // namespace kv
