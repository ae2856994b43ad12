#include "formats/EncoderCore.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include <algorithm>

namespace kv {

QString AvErrorText(int rc) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(rc, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

void MuxerFreer::operator()(AVFormatContext* c) const {
    if (c->pb != nullptr && memory) {
        uint8_t* bytes = nullptr;
        avio_close_dyn_buf(c->pb, &bytes);
        av_free(bytes);
        c->pb = nullptr;
    } else if (c->pb != nullptr) {
        avio_closep(&c->pb);
    }
    avformat_free_context(c);
}

bool EncoderCore::fail(const QString& what, int rc) {
    if (muxer && muxer->pb != nullptr && muxer->pb->error < 0)
        error = path + QStringLiteral(": ") + AvErrorText(muxer->pb->error);
    else
        error = rc < 0 ? what + QStringLiteral(": ") + AvErrorText(rc) : what;
    failed = true;
    return false;
}

int EncoderCore::openFile(int fd) {
    const QByteArray url = QByteArrayLiteral("file:/proc/self/fd/") + QByteArray::number(fd);
    AVDictionary* raw = nullptr;
    av_dict_set(&raw, "protocol_whitelist", "file", 0);
    const int opened = avio_open2(&muxer->pb, url.constData(), AVIO_FLAG_WRITE, nullptr, &raw);
    DictPtr options(raw);
    return opened < 0 ? opened : 0;
}

bool EncoderCore::send(const AVFrame* f) {
    if (avcodec_send_frame(codec.get(), f) < 0)
        return false;
    for (;;) {
        const int rc = avcodec_receive_packet(codec.get(), packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return true;
        if (rc < 0)
            return false;
        // Where each packet goes, for a format that indexes its frames afterwards.
        if (recordPlaces)
            places.push_back(
                {packet->pts, avio_tell(muxer->pb), static_cast<int>(packet->duration)});
        av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        const int written = interleaved ? av_interleaved_write_frame(muxer.get(), packet.get())
                                        : av_write_frame(muxer.get(), packet.get());
        if (written < 0 || (muxer->pb != nullptr && muxer->pb->error < 0))
            return false;
        av_packet_unref(packet.get());
    }
}

bool EncoderCore::encodeFromFifo(bool all) {
    while (av_audio_fifo_size(fifo.get()) >= frameSize ||
           (all && av_audio_fifo_size(fifo.get()) > 0)) {
        if (av_frame_make_writable(frame.get()) < 0)
            return false;
        // The last frame may be short: the encoder pads it and says so.
        const int n = std::min(frameSize, av_audio_fifo_size(fifo.get()));
        frame->nb_samples = n;
        if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->data), n) != n)
            return false;
        frame->pts = nextPts;
        nextPts += n;
        const bool sent = send(frame.get());
        frame->nb_samples = frameSize;
        if (!sent)
            return false;
    }
    return true;
}

bool EncoderCore::resample(const std::uint8_t* in, int frames) {
    if (!swr) { // nothing to convert: straight into the FIFO, one copy fewer
        void* plane = const_cast<std::uint8_t*>(in);
        return in == nullptr || av_audio_fifo_write(fifo.get(), &plane, frames) == frames;
    }
    const int capacity = swr_get_out_samples(swr.get(), frames);
    if (capacity <= 0)
        return true;
    const int channels = codec->ch_layout.nb_channels;
    const int bytesPerSample = av_get_bytes_per_sample(codec->sample_fmt);
    const bool planar = av_sample_fmt_is_planar(codec->sample_fmt) != 0;
    const size_t planeBytes =
        static_cast<size_t>(capacity) * bytesPerSample * (planar ? 1 : channels);
    const int planeCount = planar ? channels : 1;
    if (planes.size() < planeBytes * planeCount)
        planes.resize(planeBytes * planeCount);
    std::uint8_t* out[AV_NUM_DATA_POINTERS] = {};
    for (int p = 0; p < planeCount; ++p)
        out[p] = planes.data() + p * planeBytes;
    const int got = swr_convert(swr.get(), out, capacity, in ? &in : nullptr, in ? frames : 0);
    if (got < 0)
        return false;
    return got == 0 || av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(out), got) == got;
}

bool EncoderCore::writePcm(const char* data, std::int64_t bytes, int frameBytes, int rate,
                           const QString& failure) {
    while (bytes > 0) {
        if (!carry.empty()) {
            const std::int64_t need = frameBytes - static_cast<std::int64_t>(carry.size());
            const std::int64_t take = std::min(need, bytes);
            carry.insert(carry.end(), data, data + take);
            data += take;
            bytes -= take;
            if (static_cast<int>(carry.size()) < frameBytes)
                return true;
            const bool ok = resample(reinterpret_cast<const std::uint8_t*>(carry.data()), 1);
            carry.clear();
            if (!ok)
                return fail(failure);
            continue;
        }
        const std::int64_t frames = std::min<std::int64_t>(bytes / frameBytes, std::max(rate, 1));
        if (frames == 0) {
            carry.assign(data, data + bytes);
            return true;
        }
        if (!resample(reinterpret_cast<const std::uint8_t*>(data), static_cast<int>(frames)) ||
            !encodeFromFifo(false))
            return fail(failure);
        data += frames * frameBytes;
        bytes -= frames * frameBytes;
    }
    return true;
}

} // namespace kv
