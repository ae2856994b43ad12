#pragma once

#include "engine/DecodeStream.h"
#include "formats/Conversion.h"
#include "settings/OutputSettings.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kv {

// How a format carries the source's tags (see WriteOutputTags).
enum class TagKind {
    None,
    FlacComments,  // Vorbis comments and PICTURE blocks in the FLAC header
    OpusComments,  // Vorbis comments in Ogg Opus, the cover as METADATA_BLOCK_PICTURE
    Mp4Atoms,      // iTunes-style MP4 atoms: trkn, disk, covr...
    Id3v23,        // an ID3v2.3 tag with an APIC frame (MP3)
    VorbisInOgg,   // Vorbis comments in Ogg Vorbis, the cover as a picture block
    AsfAttributes, // ASF attributes and WM/Picture; the WMA tag boxes win over the source
    RiffInfo,      // a RIFF INFO list: no album artist, disc or cover; an RF64 file takes none
};

// Where a packet went, for a format that indexes its file after the trailer.
struct PacketPlace {
    std::int64_t sample = 0; // first sample, at the output's rate
    std::int64_t offset = 0; // bytes from the start of the file
    int samples = 0;
};

// How the file writer encodes and muxes: one FFmpeg encoder in one FFmpeg muxer.
struct EncoderSetup {
    const char* encoder = nullptr; // FFmpeg's encoder name
    const char* muxer = nullptr;   // FFmpeg's muxer name
    int sampleRate = 0;            // what is encoded; the writer resamples to it
    int sampleFormat = -1;         // an AVSampleFormat the encoder takes
    int bitsPerRawSample = 0;      // significant bits of integer samples (0: all)
    std::int64_t bitrate = 0;      // bit/s; 0 for none
    int compressionLevel = -1;     // -1 for the encoder's own
    // Encoder and muxer options (AVOptions by name).
    std::vector<std::pair<QByteArray, QByteArray>> encoderOptions, muxerOptions;
    // Bytes of padding the muxer leaves after the header (-1: its own).
    int headerPadding = -1;
    // The whole-file step after the trailer, on the file open on `fd`, with every packet's
    // place; false with `why` set when it fails.
    std::function<bool(int fd, const std::vector<PacketPlace>& packets, QString& why)> afterTrailer;
};

// One output format: what it reads of the output settings, how it converts a file, how its
// tags are written and how the window sums it up. Each lives in a file pair of its own and is
// one line of the registry (Formats.cpp).
class Format {
public:
    virtual ~Format() = default;
    virtual int id() const = 0;            // its optFileFormat value
    virtual QString name() const = 0;      // its button and --format name, "FLAC"
    virtual QString extension() const = 0; // "flac"
    virtual TagKind tagKind() const = 0;
    // The output settings it reads, in the order they are stored.
    virtual std::vector<OutputSetting> settings() const = 0;
    // Converts `source` into the claimed `output` (see Converter in formats/Conversion.h).
    virtual FileOutcome convert(const QString& source, const QString& output,
                                const ConversionOptions& options,
                                ConversionControl& control) const = 0;
    // The main window's summary line for these settings.
    virtual QString summary(const OutputSettings& settings) const = 0;

    // An options page as the window builds it: a title, one slider with its value echoed
    // (and the unit, if any), a label under each end of the slider and a note line. The texts
    // are caption keys; the caption table holds their defaults under the page's label names.
    struct Page {
        OutputSetting slider{};         // the setting the slider holds
        int min = 0, max = 0, step = 1; // its range; the arrow keys and the pointer move by step
        const char* unit = nullptr;     // after the echoed value ("Kbps"), or nullptr
        int titleKey = 0, lowKey = 0, highKey = 0, noteKey = 0;
    };
    // Empty for the four older formats, whose pages the window lays out itself.
    virtual Page page() const { return {}; }
};

// A format written in-process through libavcodec and libavformat: how the decoder delivers
// its input and how it encodes; it converts with ConvertEncoded (EncodedConverter.h).
class EncodedFormat : public Format {
public:
    // What it asks of the decode stream (channels, wide samples).
    virtual StreamOpenOptions streamOptions() const = 0;
    // The encoder for a source delivered as `source` and about `seconds` long (0 when not
    // known), with the values in `settings`.
    virtual EncoderSetup encoderSetup(const StreamInfo& source, double seconds,
                                      const OutputSettings& settings) const = 0;
    // The window builds its options page from this description.
    Page page() const override = 0;
    FileOutcome convert(const QString& source, const QString& output,
                        const ConversionOptions& options,
                        ConversionControl& control) const override;
};

// Every format this program writes, in the order of their buttons (the registry).
const std::vector<const Format*>& Formats();
// Those of them encoded in-process (EncodedFormat), in the same order.
const std::vector<const Format*>& EncodedFormats();
// The format whose optFileFormat value is `id`; nullptr for none.
const Format* FormatOf(int id);
// The highest optFileFormat value of any format.
int LastFormatId();

// The summary line of the main window; empty when the line keeps its previous text (no
// format selected, or a format whose summary is a null text: MP3 without a mode).
std::optional<QString> FormatSummary(const OutputSettings& values);

// Bitrate for `channels` from the stereo bitrate: each coupled pair of a surround layout gets
// the stereo bitrate and each single channel half of it (Vorbis channel order streams).
std::int64_t ScaledBitrate(std::int64_t stereo, int channels);

} // namespace kv
