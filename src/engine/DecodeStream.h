#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

namespace kv {

// The samples of a stream opened with StreamOpenOptions::wideSamples.
enum class WideSamples {
    None,  // 16-bit signed (or 8-bit unsigned), as every stream delivers them by default
    Int32, // 32-bit signed, the source's bits (`sourceBits`) at the top
    Float, // 32-bit float, full scale at 1.0
};

// What a stream delivers: interleaved PCM at the source's own rate and channel count,
// 16-bit signed little-endian, or 8-bit unsigned when the source is 8-bit PCM (or, when asked
// for, 32-bit samples from a wider source: `wide`).
struct StreamInfo {
    int sampleRate = 0;
    int channels = 0;
    bool eightBit = false;
    WideSamples wide = WideSamples::None;
    // Significant bits of the source's samples: 8, 16, 24, 32 (float sources 32).
    int sourceBits = 16;
    int bytesPerSample() const { return eightBit ? 1 : wide != WideSamples::None ? 4 : 2; }
    // Speakers of the delivered channels as WAVE_FORMAT_EXTENSIBLE names them (FL 0x1, FR 0x2,
    // FC 0x4, LFE 0x8...), in that bit order; 0 when the order is not known.
    std::uint64_t channelMask = 0;
};

// What the opener of a stream asks for beyond the source's own format.
struct StreamOpenOptions {
    // More channels than this are mixed down (0: the source's own count).
    int maxChannels = 0;
    // Opening gives up once this turns true, and after `openTimeoutMs` (0: no limit); reading
    // afterwards is not limited. A refused open sets error 6.
    const std::atomic<bool>* cancel = nullptr;
    int openTimeoutMs = 0;
    // 16-bit samples even from an 8-bit source.
    bool sixteenBit = false;
    // The channels laid out as programs that know only their count expect them: mono,
    // stereo, 3.0, quad, 5.0, 5.1, 6.1, 7.1 (back speakers where a layout has a choice). Other
    // layouts are remixed into these, so every speaker lands where such a program puts it.
    bool countLayout = false;
    // Sources wider than 16 bits keep their samples: 24- and 32-bit integers come as 32-bit
    // integers, floats as 32-bit floats (StreamInfo::wide). 8- and 16-bit sources, and every
    // source of a back-end other than FFmpeg's, stay 16-bit.
    bool wideSamples = false;
};

// How the stream was opened: as a stream (FFmpeg, MIDI) or as a tracker module.
enum class ChannelKind { Stream, Music };

// One opened file, decoded on demand. Length and position count bytes of the decoded PCM.
class DecodeStream {
public:
    virtual ~DecodeStream();
    DecodeStream(const DecodeStream&) = delete;
    DecodeStream& operator=(const DecodeStream&) = delete;

    const StreamInfo& info() const { return info_; }
    ChannelKind kind() const { return kind_; }
    int bytesPerFrame() const { return info_.channels * info_.bytesPerSample(); }

    std::int64_t length() const { return length_; }
    // True when the length comes from the container (reading to the end delivers exactly
    // it); false when it is an estimate.
    bool lengthIsExact() const { return exact_; }
    std::int64_t position() const { return position_; }
    // False once decoding has finished.
    bool isActive() const { return !ended_; }

    // Fills `buffer` with up to `bytes` bytes; fewer only at the end. 0 at the end.
    std::int64_t read(void* buffer, std::int64_t bytes);
    double bytesToSeconds(std::int64_t bytes) const;

protected:
    explicit DecodeStream(ChannelKind kind);
    // Produces up to `max` bytes (never 0 before the end); 0 at the end. `max` is at least one
    // frame; a decoder may deliver whole frames only.
    virtual std::int64_t decode(char* out, std::int64_t max) = 0;

    StreamInfo info_;
    // Error code of a failure that ended decoding early, reported by the read that saw it.
    int failure_ = 0;
    std::int64_t length_ = 0;
    bool exact_ = false;

private:
    ChannelKind kind_;
    std::int64_t position_ = 0;
    bool ended_ = false;
    // The rest of a frame split by a read that asked for less than a frame.
    std::vector<char> carry_;
};

// Streams alive in the process, for checking that nothing stays open.
int LiveStreamCount();

} // namespace kv
