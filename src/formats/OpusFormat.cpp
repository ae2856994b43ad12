#include "formats/OpusFormat.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

#include <algorithm>

namespace kv {
namespace {
int kbps(const OutputSettings& v) {
    return std::clamp(v.number(OutputSetting::sliderOpusBitrate), 32, 256);
}
} // namespace

std::vector<OutputSetting> OpusFormat::settings() const {
    return {OutputSetting::sliderOpusBitrate};
}

StreamOpenOptions OpusFormat::streamOptions() const {
    StreamOpenOptions o;
    o.maxChannels = kMaxChannels;
    o.countLayout = true; // the Vorbis orders of mapping family 1
    o.sixteenBit = true;
    o.wideSamples = true;
    return o;
}

EncoderSetup OpusFormat::encoderSetup(const StreamInfo& source, double,
                                      const OutputSettings& settings) const {
    EncoderSetup e;
    e.encoder = "libopus";
    e.muxer = "ogg";
    e.sampleRate = kRate;
    e.sampleFormat = AV_SAMPLE_FMT_FLT;
    e.bitrate = ScaledBitrate(kbps(settings) * 1000LL, source.channels);
    e.compressionLevel = 10;
    e.encoderOptions = {{"vbr", "on"}, {"application", "audio"}};
    return e;
}

QString OpusFormat::summary(const OutputSettings& settings) const {
    return QStringLiteral("OPUS,Variable Bitrate %1 Kbps,48 KHz").arg(kbps(settings));
}

Format::Page OpusFormat::page() const {
    return {OutputSetting::sliderOpusBitrate, 32, 256, 8, "Kbps", 10072, 10075, 10076, 10077};
}

} // namespace kv
