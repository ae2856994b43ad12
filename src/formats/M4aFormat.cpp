#include "formats/M4aFormat.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

#include <algorithm>

namespace kv {
namespace {
int kbps(const OutputSettings& v) {
    return std::clamp(v.number(OutputSetting::sliderM4ABitrate), 64, 320);
}
} // namespace

int M4aFormat::EncodedRate(int sourceRate) {
    static constexpr int kRates[] = {7350,  8000,  11025, 12000, 16000,
                                     22050, 24000, 32000, 44100, kMaxRate};
    for (const int r : kRates)
        if (sourceRate <= r)
            return r;
    return kMaxRate;
}

std::vector<OutputSetting> M4aFormat::settings() const {
    return {OutputSetting::sliderM4ABitrate};
}

StreamOpenOptions M4aFormat::streamOptions() const {
    StreamOpenOptions o;
    o.maxChannels = kMaxChannels; // more are mixed down to 5.1
    o.countLayout = true;
    o.sixteenBit = true;
    o.wideSamples = true;
    return o;
}

EncoderSetup M4aFormat::encoderSetup(const StreamInfo& source, double,
                                     const OutputSettings& settings) const {
    EncoderSetup e;
    e.encoder = "aac";
    e.muxer = "ipod"; // the MP4 flavour of .m4a files
    e.sampleRate = EncodedRate(source.sampleRate);
    e.sampleFormat = AV_SAMPLE_FMT_FLTP;
    e.bitrate = ScaledBitrate(kbps(settings) * 1000LL, source.channels);
    e.encoderOptions = {{"profile", "aac_low"}};
    // The index at the front, so players can start before the whole file is there.
    e.muxerOptions = {{"movflags", "+faststart"}};
    return e;
}

QString M4aFormat::summary(const OutputSettings& settings) const {
    return QStringLiteral("M4A,AAC-LC %1 Kbps").arg(kbps(settings));
}

Format::Page M4aFormat::page() const {
    return {OutputSetting::sliderM4ABitrate, 64, 320, 16, "Kbps", 10072, 10075, 10076, 10078};
}

} // namespace kv
