#pragma once

#include "formats/Format.h"

namespace kv {

// FLAC: lossless, the source's bit depth kept (16 stays 16; 24, 32 and float become 24), rates
// up to 384 kHz and up to eight channels in FLAC's own speaker orders, the audio's MD5 in the
// stream info and a seek point every ten seconds.
class FlacFormat final : public EncodedFormat {
public:
    static constexpr int kId = 4;
    static constexpr int kMaxRate = 384000;
    static constexpr int kMaxChannels = 8;

    int id() const override { return kId; }
    QString name() const override { return QStringLiteral("FLAC"); }
    QString extension() const override { return QStringLiteral("flac"); }
    TagKind tagKind() const override { return TagKind::FlacComments; }
    std::vector<OutputSetting> settings() const override;
    StreamOpenOptions streamOptions() const override;
    EncoderSetup encoderSetup(const StreamInfo& source, double seconds,
                              const OutputSettings& settings) const override;
    QString summary(const OutputSettings& settings) const override;
    Page page() const override;
};

// Puts a SEEKTABLE block with a point every ten seconds into the PADDING block of the FLAC file
// open on `fd` (the padding shrinks by as much), from the places of its frames. False with
// `why` when the file is not as the muxer wrote it or the table does not fit.
bool WriteFlacSeekTable(int fd, const std::vector<PacketPlace>& frames, int sampleRate,
                        QString& why);

} // namespace kv
