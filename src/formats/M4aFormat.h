#pragma once

#include "formats/Format.h"

namespace kv {

// AAC-LC in an MP4 file (.m4a) with its index at the front. AAC takes a fixed list of rates:
// above 48 kHz becomes 48 kHz, a rate not in the list the next one up. Up to 5.1 is kept, more
// channels are mixed down to 5.1; the bitrate scales with the channels as for Opus.
class M4aFormat final : public EncodedFormat {
public:
    static constexpr int kId = 6;
    static constexpr int kMaxRate = 48000;
    static constexpr int kMaxChannels = 6;

    int id() const override { return kId; }
    QString name() const override { return QStringLiteral("M4A"); }
    QString extension() const override { return QStringLiteral("m4a"); }
    TagKind tagKind() const override { return TagKind::Mp4Atoms; }
    std::vector<OutputSetting> settings() const override;
    StreamOpenOptions streamOptions() const override;
    EncoderSetup encoderSetup(const StreamInfo& source, double seconds,
                              const OutputSettings& settings) const override;
    QString summary(const OutputSettings& settings) const override;
    Page page() const override;

    // The rate AAC encodes a source rate at.
    static int EncodedRate(int sourceRate);
};

} // namespace kv
