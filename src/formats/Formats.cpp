#include "formats/Format.h"

#include "formats/FlacFormat.h"
#include "formats/M4aFormat.h"
#include "formats/OpusFormat.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>

namespace kv {

const std::vector<const Format*>& EncodedFormats() {
    // One line a format.
    static const FlacFormat flac;
    static const OpusFormat opus;
    static const M4aFormat m4a;
    static const std::vector<const Format*> all = {&flac, &opus, &m4a};
    return all;
}

const Format* FormatOf(int id) {
    for (const Format* f : EncodedFormats())
        if (f->id() == id)
            return f;
    return nullptr;
}

int LastFormatId() {
    int last = 3; // OGG, the last of the described four
    for (const Format* f : EncodedFormats())
        last = std::max(last, f->id());
    return last;
}

std::optional<QString> FormatSummary(const OutputSettings& values) {
    if (const Format* f = FormatOf(values.number(OutputSetting::optFileFormat)))
        return f->summary(values);
    return DescribedFormatSummary(values);
}

std::int64_t ScaledBitrate(std::int64_t stereo, int channels) {
    // Streams and coupled pairs of the Vorbis channel orders (Opus mapping family 1); AAC's
    // channel elements pair the same speakers.
    static constexpr int kStreams[] = {0, 1, 1, 2, 2, 3, 4, 5, 5};
    static constexpr int kCoupled[] = {0, 0, 1, 1, 2, 2, 2, 2, 3};
    const int c = std::clamp(channels, 1, 8);
    const int coupled = kCoupled[c], single = kStreams[c] - kCoupled[c];
    return stereo * coupled + stereo / 2 * single;
}

} // namespace kv
