#include "engine/MidiFileLength.h"

#include <algorithm>
#include <cstdint>
#include <map>

namespace kv {

namespace {

class Reader {
public:
    Reader(const unsigned char* data, size_t size) : p_(data), end_(data + size) {}
    bool atEnd() const { return p_ >= end_; }
    size_t left() const { return static_cast<size_t>(end_ - p_); }
    bool byte(std::uint32_t& v) {
        if (p_ >= end_)
            return false;
        v = *p_++;
        return true;
    }
    bool be(int bytes, std::uint32_t& v) {
        if (left() < static_cast<size_t>(bytes))
            return false;
        v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | *p_++;
        return true;
    }
    // A variable-length quantity: at most four bytes.
    bool vlq(std::uint32_t& v) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint32_t b;
            if (!byte(b))
                return false;
            v = (v << 7) | (b & 0x7F);
            if ((b & 0x80) == 0)
                return true;
        }
        return false;
    }
    bool skip(size_t n) {
        if (left() < n)
            return false;
        p_ += n;
        return true;
    }
    const unsigned char* here() const { return p_; }

private:
    const unsigned char* p_;
    const unsigned char* end_;
};

constexpr std::uint32_t kDefaultTempo = 500000; // microseconds per quarter note

// Walks one track; records its tempo changes and returns its last tick.
bool walkTrack(Reader track, std::map<std::uint64_t, std::uint32_t>& tempos,
               std::uint64_t& lastTick) {
    std::uint64_t tick = 0;
    std::uint32_t status = 0;
    while (!track.atEnd()) {
        std::uint32_t delta;
        if (!track.vlq(delta))
            return false;
        tick += delta;
        std::uint32_t b;
        if (!track.byte(b))
            return false;
        if (b < 0x80) {
            // Running status: the byte is the first data byte.
            if (status == 0)
                return false;
            const int dataBytes = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 0 : 1;
            if (!track.skip(static_cast<size_t>(dataBytes)))
                return false;
        } else if (b == 0xFF) {
            std::uint32_t type, len;
            if (!track.byte(type) || !track.vlq(len) || track.left() < len)
                return false;
            if (type == 0x51 && len == 3) {
                const unsigned char* t = track.here();
                const std::uint32_t tempo = (std::uint32_t(t[0]) << 16) | (t[1] << 8) | t[2];
                if (tempo > 0)
                    tempos[tick] = tempo;
            }
            track.skip(len);
            if (type == 0x2F)
                break;
        } else if (b == 0xF0 || b == 0xF7) {
            std::uint32_t len;
            if (!track.vlq(len) || !track.skip(len))
                return false;
        } else if (b >= 0xF8 || (b > 0xF0 && b < 0xF7)) {
            return false;
        } else {
            status = b;
            const int dataBytes = ((b & 0xF0) == 0xC0 || (b & 0xF0) == 0xD0) ? 1 : 2;
            if (!track.skip(static_cast<size_t>(dataBytes)))
                return false;
        }
    }
    lastTick = std::max(lastTick, tick);
    return true;
}

} // namespace

std::optional<double> MidiFileSeconds(const QByteArray& data) {
    Reader file(reinterpret_cast<const unsigned char*>(data.constData()),
                static_cast<size_t>(data.size()));
    std::uint32_t magic, headerLen, format, tracks, division;
    if (!file.be(4, magic) || magic != 0x4D546864 /* MThd */ || !file.be(4, headerLen) ||
        headerLen < 6 || !file.be(2, format) || !file.be(2, tracks) || !file.be(2, division) ||
        !file.skip(headerLen - 6))
        return std::nullopt;
    if (format > 2 || tracks == 0 || division == 0)
        return std::nullopt;

    std::map<std::uint64_t, std::uint32_t> tempos;
    std::uint64_t lastTick = 0;
    std::uint32_t found = 0;
    while (found < tracks && !file.atEnd()) {
        std::uint32_t id, len;
        if (!file.be(4, id) || !file.be(4, len))
            return std::nullopt;
        if (file.left() < len)
            return std::nullopt;
        if (id == 0x4D54726B /* MTrk */) {
            if (!walkTrack(Reader(file.here(), len), tempos, lastTick))
                return std::nullopt;
            ++found;
        }
        file.skip(len);
    }
    if (found == 0)
        return std::nullopt;

    if (division & 0x8000) {
        // SMPTE time: frames per second and ticks per frame, no tempo.
        const int fps = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
        const int perFrame = static_cast<int>(division & 0xFF);
        if (fps <= 0 || perFrame <= 0)
            return std::nullopt;
        return static_cast<double>(lastTick) / (fps * perFrame);
    }
    double seconds = 0.0;
    std::uint64_t at = 0;
    std::uint32_t tempo = kDefaultTempo;
    for (const auto& [tick, value] : tempos) {
        if (tick >= lastTick)
            break;
        seconds += static_cast<double>(tick - at) * tempo / (1e6 * division);
        at = tick;
        tempo = value;
    }
    seconds += static_cast<double>(lastTick - at) * tempo / (1e6 * division);
    return seconds;
}

} // namespace kv
