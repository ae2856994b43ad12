#include "formats/Format.h"

#include "formats/Conversion.h"

#include "formats/FlacFormat.h"
#include "formats/M4aFormat.h"
#include "formats/Mp3Format.h"
#include "formats/OggFormat.h"
#include "formats/OpusFormat.h"
#include "formats/WavFormat.h"
#include "formats/WmaFormat.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

#include <algorithm>

namespace kv {

namespace {
// The one instance of format F.
template <typename F> const Format* one() {
    static const F format;
    return &format;
}
} // namespace

const std::vector<const Format*>& Formats() {
    // One line a format.
    static const std::vector<const Format*> all = {
        one<WavFormat>(),
        one<WmaFormat>(),
        one<Mp3Format>(),
        one<OggFormat>(),
        one<FlacFormat>(),
        one<OpusFormat>(),
        one<M4aFormat>(),
    };
    return all;
}

const std::vector<const Format*>& EncodedFormats() {
    static const std::vector<const Format*> encoded = [] {
        std::vector<const Format*> v;
        for (const Format* f : Formats())
            if (dynamic_cast<const EncodedFormat*>(f) != nullptr)
                v.push_back(f);
        return v;
    }();
    return encoded;
}

const Format* FormatOf(int id) {
    for (const Format* f : Formats())
        if (f->id() == id)
            return f;
    return nullptr;
}

int LastFormatId() {
    int last = -1;
    for (const Format* f : Formats())
        last = std::max(last, f->id());
    return last;
}

QString OutputExtension(int format) {
    const Format* f = FormatOf(format);
    return f != nullptr ? f->extension() : QString();
}

std::optional<QString> FormatSummary(const OutputSettings& values) {
    const Format* f = FormatOf(values.number(OutputSetting::optFileFormat));
    if (f == nullptr)
        return std::nullopt;
    QString line = f->summary(values);
    if (line.isNull())
        return std::nullopt;
    return line;
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
