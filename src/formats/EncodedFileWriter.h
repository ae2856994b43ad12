#pragma once

#include "engine/DecodeStream.h"
#include "formats/Format.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace kv {

// Writes one file of a Format: the PCM a decode stream delivers, resampled to the encoder's
// rate and sample format (libswresample with soxr where it has it), handed to the encoder in
// whole frames and muxed into the file open on a descriptor.
class EncodedFileWriter {
public:
    EncodedFileWriter();
    ~EncodedFileWriter();
    EncodedFileWriter(const EncodedFileWriter&) = delete;
    EncodedFileWriter& operator=(const EncodedFileWriter&) = delete;

    // Opens the encoder and writes the header into the empty file open on `fd`, named `path`
    // in reasons. False when the encoder, the resampler or the file cannot be had.
    bool open(int fd, const QString& path, const StreamInfo& input, const EncoderSetup& setup);
    // `bytes` of interleaved PCM as `input` describes it.
    bool write(const char* data, std::int64_t bytes);
    // Encodes what is left and writes the trailer (and the format's own last step): a whole,
    // playable file.
    bool finish();
    QString errorString() const;

    // What the encoder really runs at (after open).
    int encodedRate() const;
    int encodedChannels() const;

private:
    struct State;
    std::unique_ptr<State> s_;
};

// Whether this system's FFmpeg has the encoder and the muxer of `setup`.
bool EncoderPresent(const EncoderSetup& setup);

} // namespace kv
