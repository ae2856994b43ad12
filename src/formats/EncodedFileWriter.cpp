#include "formats/EncodedFileWriter.h"

#include "formats/EncoderCore.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

namespace kv {
namespace {

AVSampleFormat inputFormat(const StreamInfo& in) {
    if (in.eightBit)
        return AV_SAMPLE_FMT_U8;
    switch (in.wide) {
    case WideSamples::Int32:
        return AV_SAMPLE_FMT_S32;
    case WideSamples::Float:
        return AV_SAMPLE_FMT_FLT;
    case WideSamples::None:
        break;
    }
    return AV_SAMPLE_FMT_S16;
}

void layoutOf(const StreamInfo& in, AVChannelLayout* layout) {
    if (in.channelMask != 0 && __builtin_popcountll(in.channelMask) == in.channels)
        av_channel_layout_from_mask(layout, in.channelMask);
    else
        av_channel_layout_default(layout, in.channels);
}

// A resampler of the best quality at hand: soxr's where libswresample has it.
SwrPtr openResampler(const AVChannelLayout& layout, AVSampleFormat from, int fromRate,
                     AVSampleFormat to, int toRate) {
    for (const bool soxr : {true, false}) {
        SwrContext* raw = nullptr;
        AVChannelLayout both{};
        if (av_channel_layout_copy(&both, &layout) < 0)
            return {};
        const int rc =
            swr_alloc_set_opts2(&raw, &both, to, toRate, &both, from, fromRate, 0, nullptr);
        av_channel_layout_uninit(&both);
        if (rc < 0)
            return {};
        SwrPtr swr(raw);
        if (fromRate != toRate) {
            if (soxr) {
                av_opt_set_int(raw, "resampler", SWR_ENGINE_SOXR, 0);
                av_opt_set_int(raw, "precision", 28, 0); // soxr's very high quality
            } else {
                av_opt_set_int(raw, "filter_size", 64, 0);
                av_opt_set_int(raw, "phase_shift", 14, 0);
                av_opt_set_double(raw, "cutoff", 0.97, 0);
            }
        }
        if (swr_init(raw) >= 0)
            return swr;
        if (fromRate == toRate)
            return {};
    }
    return {};
}

} // namespace

struct EncodedFileWriter::State : EncoderCore {
    StreamInfo input;
    EncoderSetup setup;
    int fd = -1;

    QString encoderName() const { return QString::fromLatin1(setup.encoder); }
};

EncodedFileWriter::EncodedFileWriter() : s_(std::make_unique<State>()) {}
EncodedFileWriter::~EncodedFileWriter() = default;

bool EncoderPresent(const EncoderSetup& setup) {
    const AVCodec* codec = avcodec_find_encoder_by_name(setup.encoder);
    return codec != nullptr && codec->type == AVMEDIA_TYPE_AUDIO &&
           av_guess_format(setup.muxer, nullptr, nullptr) != nullptr;
}

bool EncodedFileWriter::open(int fd, const QString& path, const StreamInfo& input,
                             const EncoderSetup& setup) {
    State& s = *s_;
    s.input = input;
    s.setup = setup;
    s.path = path;
    s.fd = fd;
    s.recordPlaces = static_cast<bool>(setup.afterTrailer);
    const AVCodec* encoder = avcodec_find_encoder_by_name(setup.encoder);
    const AVOutputFormat* muxer = av_guess_format(setup.muxer, nullptr, nullptr);
    if (encoder == nullptr || muxer == nullptr)
        return s.fail(QStringLiteral("the encoder %1 is not in this system's FFmpeg")
                          .arg(s.encoderName()));
    if (input.channels <= 0 || input.sampleRate <= 0 || setup.sampleRate <= 0)
        return s.fail(QStringLiteral("%1 channels at %2 Hz cannot be encoded")
                          .arg(input.channels)
                          .arg(input.sampleRate));

    s.codec.reset(avcodec_alloc_context3(encoder));
    if (!s.codec)
        return s.fail(QStringLiteral("out of memory"));
    AVCodecContext* c = s.codec.get();
    c->sample_rate = setup.sampleRate;
    layoutOf(input, &c->ch_layout);
    c->sample_fmt = static_cast<AVSampleFormat>(setup.sampleFormat);
    c->bits_per_raw_sample = setup.bitsPerRawSample;
    c->bit_rate = setup.bitrate;
    if (setup.compressionLevel >= 0)
        c->compression_level = setup.compressionLevel;
    c->time_base = AVRational{1, setup.sampleRate};
    if ((muxer->flags & AVFMT_GLOBALHEADER) != 0)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* encoderOpts = nullptr;
    for (const auto& [name, value] : setup.encoderOptions)
        av_dict_set(&encoderOpts, name.constData(), value.constData(), 0);
    const int openedEncoder = avcodec_open2(c, encoder, &encoderOpts);
    av_dict_free(&encoderOpts);
    if (openedEncoder < 0)
        return s.fail(QStringLiteral("the encoder %1 cannot be opened").arg(s.encoderName()),
                      openedEncoder);

    s.frame.reset(av_frame_alloc());
    if (s.frame) {
        s.frame->format = c->sample_fmt;
        s.frame->sample_rate = c->sample_rate;
        s.frame->nb_samples = c->frame_size > 0 ? c->frame_size : 4096;
        if (av_channel_layout_copy(&s.frame->ch_layout, &c->ch_layout) < 0 ||
            av_frame_get_buffer(s.frame.get(), 0) < 0)
            s.frame.reset();
    }
    s.frameSize = s.frame ? s.frame->nb_samples : 0;
    s.packet.reset(av_packet_alloc());
    s.fifo.reset(av_audio_fifo_alloc(c->sample_fmt, c->ch_layout.nb_channels,
                                     std::max(s.frameSize, 1)));
    if (!s.frame || !s.packet || !s.fifo)
        return s.fail(QStringLiteral("out of memory"));
    // Samples already in the encoder's rate and interleaved format need no resampler.
    const bool convert =
        input.sampleRate != c->sample_rate || inputFormat(input) != c->sample_fmt;
    if (convert) {
        s.swr = openResampler(c->ch_layout, inputFormat(input), input.sampleRate, c->sample_fmt,
                              c->sample_rate);
        if (!s.swr)
            return s.fail(QStringLiteral("the resampler cannot be opened"));
    }

    // The muxer writes through the descriptor: the very file held, wherever its name leads.
    // The MP4 muxer opens it again by this name to move its index to the front.
    const QByteArray url = QByteArrayLiteral("file:/proc/self/fd/") + QByteArray::number(fd);
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, muxer, nullptr, url.constData()) < 0 || !raw)
        return s.fail(QStringLiteral("out of memory"));
    s.muxer.reset(raw);
    if (setup.headerPadding >= 0)
        raw->metadata_header_padding = setup.headerPadding;
    s.stream = avformat_new_stream(raw, nullptr);
    if (s.stream == nullptr || avcodec_parameters_from_context(s.stream->codecpar, c) < 0)
        return s.fail(QStringLiteral("the output stream cannot be set up"));
    s.stream->time_base = c->time_base;
    if (const int opened = s.openFile(fd); opened < 0)
        return s.fail(path, opened);
    AVDictionary* rawMuxerOpts = nullptr;
    for (const auto& [name, value] : setup.muxerOptions)
        av_dict_set(&rawMuxerOpts, name.constData(), value.constData(), 0);
    const int written = avformat_write_header(raw, &rawMuxerOpts);
    DictPtr muxerOpts(rawMuxerOpts);
    if (written < 0)
        return s.fail(path, written);
    return raw->pb->error >= 0 || s.fail(path);
}

bool EncodedFileWriter::write(const char* data, std::int64_t bytes) {
    State& s = *s_;
    if (s.failed || !s.muxer)
        return false;
    return s.writePcm(data, bytes, s.input.channels * s.input.bytesPerSample(),
                      s.input.sampleRate,
                      QStringLiteral("the encoder %1 failed").arg(s.encoderName()));
}

bool EncodedFileWriter::finish() {
    State& s = *s_;
    if (s.failed || !s.muxer)
        return false;
    // What the resampler holds, the short last frame, then what the encoder holds.
    if (!(s.resample(nullptr, 0) && s.encodeFromFifo(true) && s.send(nullptr)))
        return s.fail(QStringLiteral("the encoder %1 failed").arg(s.encoderName()));
    if (const int rc = av_write_trailer(s.muxer.get()); rc < 0)
        return s.fail(s.path, rc);
    AVFormatContext* muxer = s.muxer.get();
    avio_flush(muxer->pb);
    if (muxer->pb->error < 0)
        return s.fail(s.path);
    if (const int closed = avio_closep(&muxer->pb); closed < 0)
        return s.fail(s.path, closed);
    s.muxer.reset();
    QString why;
    if (s.setup.afterTrailer && !s.setup.afterTrailer(s.fd, s.places, why))
        return s.fail(s.path + QStringLiteral(": ") + why);
    return true;
}

QString EncodedFileWriter::errorString() const {
    return s_->error;
}

int EncodedFileWriter::encodedRate() const {
    return s_->codec ? s_->codec->sample_rate : 0;
}

int EncodedFileWriter::encodedChannels() const {
    return s_->codec ? s_->codec->ch_layout.nb_channels : 0;
}

} // namespace kv
