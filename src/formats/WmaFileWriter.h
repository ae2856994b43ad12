#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace kv {

// The FFmpeg encoder that WMA output uses. Tests name one that does not exist to see the
// program on a system without WMA encoding; nothing else changes it.
const char* WmaEncoderName();
void SetWmaEncoderName(const char* name);
// Whether this system's FFmpeg has that encoder and the ASF muxer.
bool WmaEncoderPresent();

// The encoder takes at most two channels and no rate above this.
inline constexpr int kWmaMaxRate = 48000;
inline constexpr int kWmaMaxChannels = 2;

// PCM as a decode stream delivers it: interleaved, 16-bit signed or 8-bit unsigned.
struct PcmFormat {
    int sampleRate = 0;
    int channels = 0;
    bool eightBit = false;
    int bytesPerFrame() const { return channels * (eightBit ? 1 : 2); }
};

using WmaTags = std::vector<std::pair<QString, QString>>; // ASF name, text

// Writes a WMA file: FFmpeg's wmav2 encoder in an ASF file. The PCM given is resampled to the
// encoder's rate (the source's, at most 48 kHz) and handed over in whole encoder frames.
class WmaFileWriter {
public:
    WmaFileWriter();
    ~WmaFileWriter();
    WmaFileWriter(const WmaFileWriter&) = delete;
    WmaFileWriter& operator=(const WmaFileWriter&) = delete;

    // Opens the encoder at `bitrate` bit/s and writes the header into the file open on `fd`
    // (from its start, open for reading too; -1 writes in memory), named `path` in reasons. The
    // tags are placed by finish(), each once: Title, Author, Copyright, Description and Rating in
    // the main description, the others in the extended one. False when the encoder or the file
    // cannot be had.
    bool open(int fd, const QString& path, const PcmFormat& input, int bitrate,
              const WmaTags& tags);
    bool write(const char* data, std::int64_t bytes);
    // Encodes what is left, writes the index and closes the file: a whole, playable file.
    bool finish();

    // The rate and bitrate the encoder really runs at (after open).
    int encodedRate() const;
    std::int64_t encodedBitrate() const;
    // Why the last open, write or finish failed: the file and the system's reason when the
    // file failed, else the step that did.
    QString errorString() const;

private:
    struct State;
    std::unique_ptr<State> s_;
};

// Opens the encoder with the muxer's settings and encodes frames of full-scale noise, the
// hardest input: true when `bitrate` works for that rate and channel count. `actual` gets the
// bitrate the encoder runs at.
bool WmaBitrateEncodes(int sampleRate, int channels, int bitrate, std::int64_t* actual = nullptr);

// An ASF file with a WMA stream and no audio at `path` (made anew); false when the encoder,
// the muxer or the file fails. With an empty path, the same is done in memory.
bool WriteEmptyWma(const QString& path);

} // namespace kv
