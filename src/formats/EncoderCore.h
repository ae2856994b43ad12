#pragma once

#include "engine/FfmpegHandles.h"
#include "formats/Format.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

struct AVFormatContext;
struct AVFrame;
struct AVStream;

namespace kv {

// FFmpeg's text for an error code.
QString AvErrorText(int rc);

// The muxer closes its file (or frees its in-memory buffer) with it; the trailer is written
// only by the writer's finish.
struct MuxerFreer {
    bool memory = false;
    void operator()(AVFormatContext* c) const;
};
using MuxerPtr = std::unique_ptr<AVFormatContext, MuxerFreer>;

// What the in-process writers share: one encoder feeding one muxer. Interleaved PCM comes in
// whole frames, is resampled to the encoder's rate and format, waits in a FIFO until a whole
// encoder frame is there, and every packet the encoder gives is written at once.
struct EncoderCore {
    CodecPtr codec;
    MuxerPtr muxer;
    AVStream* stream = nullptr;
    SwrPtr swr;
    FifoPtr fifo;
    FramePtr frame;
    PacketPtr packet;
    std::vector<char> carry;          // part of a PCM frame left by the last write
    std::vector<std::uint8_t> planes; // the resampler's output
    bool recordPlaces = false;        // keep where every packet went (`places`)
    std::vector<PacketPlace> places;
    bool interleaved = false; // packets go through the muxer's interleaving queue
    int frameSize = 0;        // samples per encoder frame
    std::int64_t nextPts = 0;
    bool failed = false;
    QString path;  // the file, in reasons
    QString error; // why the last step failed, when known

    // The file's own error (a full disk, a removed folder) tells more than the step that saw it.
    bool fail(const QString& what, int rc = 0);
    // Opens the muxer's output on the file open on `fd`: the very file held, wherever its name
    // leads by now. FFmpeg's error code, or 0.
    int openFile(int fd);
    // `frames` frames of PCM into the FIFO; `in` null drains the resampler.
    bool resample(const std::uint8_t* in, int frames);
    // Whole frames from the FIFO to the encoder; `all` sends the short last one too.
    bool encodeFromFifo(bool all);
    // One frame to the encoder (null: the end) and its packets to the muxer.
    bool send(const AVFrame* f);
    // `bytes` of PCM in frames of `frameBytes`, at most `rate` frames (a second) at a time, so
    // the resampler's buffer stays small; a split frame waits for its rest. False, after
    // fail(failure), when the encoder fails.
    bool writePcm(const char* data, std::int64_t bytes, int frameBytes, int rate,
                  const QString& failure);
};

} // namespace kv
