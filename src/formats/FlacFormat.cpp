#include "formats/FlacFormat.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

#include <QtEndian>

#include <algorithm>
#include <cmath>

#include <unistd.h>

namespace kv {
namespace {
constexpr int kSeekSpacingSeconds = 10;
constexpr int kSeekPointBytes = 18;
constexpr int kBlockHead = 4;
constexpr int kPaddingType = 1, kSeekTableType = 3;
// Room left for tags the tag copy adds without moving the audio.
constexpr int kSparePadding = 8192;

int level(const OutputSettings& v) {
    return std::clamp(v.number(OutputSetting::sliderFLACLevel), 0, 8);
}

void putBlockHead(QByteArray& b, bool last, int type, int length) {
    b.append(static_cast<char>((last ? 0x80 : 0) | type));
    b.append(static_cast<char>((length >> 16) & 0xFF));
    b.append(static_cast<char>((length >> 8) & 0xFF));
    b.append(static_cast<char>(length & 0xFF));
}

void put64(QByteArray& b, std::uint64_t v) {
    char bytes[8];
    qToBigEndian(v, bytes);
    b.append(bytes, 8);
}
} // namespace

std::vector<OutputSetting> FlacFormat::settings() const {
    return {OutputSetting::sliderFLACLevel};
}

StreamOpenOptions FlacFormat::streamOptions() const {
    StreamOpenOptions o;
    o.maxChannels = kMaxChannels;
    o.countLayout = true; // FLAC's speaker orders are the count layouts
    o.sixteenBit = true;
    o.wideSamples = true;
    return o;
}

EncoderSetup FlacFormat::encoderSetup(const StreamInfo& source, double seconds,
                                      const OutputSettings& settings) const {
    EncoderSetup e;
    e.encoder = "flac";
    e.muxer = "flac";
    e.sampleRate = std::min(source.sampleRate, kMaxRate);
    const bool wide = source.wide != WideSamples::None;
    e.sampleFormat = wide ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16;
    e.bitsPerRawSample = wide ? 24 : 16;
    e.compressionLevel = level(settings);
    // A seek point every ten seconds, with room for an estimate that falls short.
    const double known = seconds > 0 ? seconds : 2 * 3600.0;
    const int points = static_cast<int>(std::ceil(known / kSeekSpacingSeconds)) + 1;
    e.headerPadding = (points + points / 8 + 4) * kSeekPointBytes + kBlockHead + kSparePadding;
    const int rate = e.sampleRate;
    e.afterTrailer = [rate](int fd, const std::vector<PacketPlace>& frames, QString& why) {
        return WriteFlacSeekTable(fd, frames, rate, why);
    };
    return e;
}

QString FlacFormat::summary(const OutputSettings& settings) const {
    return QStringLiteral("FLAC,Compression Level=%1").arg(level(settings));
}

bool WriteFlacSeekTable(int fd, const std::vector<PacketPlace>& frames, int sampleRate,
                        QString& why) {
    if (frames.empty())
        return true; // no audio, nothing to seek to
    // The metadata blocks after "fLaC", up to the padding the muxer left.
    char head[kBlockHead];
    std::int64_t at = 4;
    std::int64_t paddingAt = -1;
    int paddingLength = 0;
    bool paddingLast = false;
    for (int blocks = 0; blocks < 128; ++blocks) {
        if (::pread(fd, head, kBlockHead, at) != kBlockHead) {
            why = QStringLiteral("the FLAC header cannot be read");
            return false;
        }
        const bool last = (head[0] & 0x80) != 0;
        const int type = head[0] & 0x7F;
        const int length = (static_cast<unsigned char>(head[1]) << 16) |
                           (static_cast<unsigned char>(head[2]) << 8) |
                           static_cast<unsigned char>(head[3]);
        if (type == kPaddingType) {
            paddingAt = at;
            paddingLength = length;
            paddingLast = last;
            break;
        }
        at += kBlockHead + length;
        if (last)
            break;
    }
    if (paddingAt < 0) {
        why = QStringLiteral("the FLAC header has no room for its seek table");
        return false;
    }
    // Offsets count from the first frame.
    const std::int64_t first = frames.front().offset;
    std::vector<const PacketPlace*> points;
    const std::int64_t spacing = static_cast<std::int64_t>(kSeekSpacingSeconds) * sampleRate;
    std::size_t f = 0;
    for (std::int64_t target = 0; target <= frames.back().sample; target += spacing) {
        while (f + 1 < frames.size() && frames[f + 1].sample <= target)
            ++f;
        if (points.empty() || points.back() != &frames[f])
            points.push_back(&frames[f]);
    }
    // A table that outgrew the padding keeps evenly spread points.
    const std::size_t room = static_cast<std::size_t>(paddingLength) / kSeekPointBytes;
    if (points.size() > room) {
        std::vector<const PacketPlace*> thinned;
        for (std::size_t i = 0; i < room; ++i)
            thinned.push_back(points[i * points.size() / room]);
        points.swap(thinned);
    }
    const int tableLength = static_cast<int>(points.size()) * kSeekPointBytes;
    const int rest = paddingLength - tableLength; // what stays padding, its head included
    QByteArray blocks;
    putBlockHead(blocks, paddingLast && rest == 0, kSeekTableType, tableLength);
    for (const PacketPlace* p : points) {
        put64(blocks, static_cast<std::uint64_t>(p->sample));
        put64(blocks, static_cast<std::uint64_t>(p->offset - first));
        blocks.append(static_cast<char>((p->samples >> 8) & 0xFF));
        blocks.append(static_cast<char>(p->samples & 0xFF));
    }
    if (rest > 0) {
        if (rest < kBlockHead) {
            why = QStringLiteral("the FLAC header has no room for its seek table");
            return false;
        }
        putBlockHead(blocks, paddingLast, kPaddingType, rest - kBlockHead);
        blocks.append(QByteArray(rest - kBlockHead, '\0'));
    }
    if (::pwrite(fd, blocks.constData(), static_cast<size_t>(blocks.size()), paddingAt) !=
        blocks.size()) {
        why = QStringLiteral("the FLAC seek table cannot be written");
        return false;
    }
    return true;
}

Format::Page FlacFormat::page() const {
    return {OutputSetting::sliderFLACLevel, 0, 8, 1, nullptr, 10071, 10074, 10075, 10073};
}

} // namespace kv
