#include "formats/WmaFileWriter.h"

#include "formats/EncoderCore.h"

#include "formats/LittleEndian.h"
#include "formats/OutputFile.h"

#include <QFile>
#include <QtEndian>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include <unistd.h>

namespace kv {

namespace {

std::atomic<const char*> encoderName{"wmav2"};

const AVOutputFormat* asfFormat() {
    return av_guess_format("asf", nullptr, nullptr);
}

// The encoder as the ASF muxer needs it; nothing when it is missing or refuses the format.
CodecPtr openEncoder(int rate, int channels, std::int64_t bitrate) {
    const AVCodec* codec = avcodec_find_encoder_by_name(WmaEncoderName());
    const AVOutputFormat* asf = asfFormat();
    if (codec == nullptr || codec->type != AVMEDIA_TYPE_AUDIO || asf == nullptr || rate <= 0 ||
        channels <= 0 || bitrate <= 0)
        return {};
    CodecPtr c(avcodec_alloc_context3(codec));
    if (!c)
        return {};
    c->sample_rate = rate;
    av_channel_layout_default(&c->ch_layout, channels);
    c->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    c->bit_rate = bitrate;
    c->time_base = AVRational{1, rate};
    if ((asf->flags & AVFMT_GLOBALHEADER) != 0)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(c.get(), codec, nullptr) < 0)
        return {};
    return c;
}

// A frame buffer of the encoder's frame size in its sample format.
FramePtr encoderFrame(const AVCodecContext* c) {
    FramePtr f(av_frame_alloc());
    if (!f)
        return {};
    f->format = c->sample_fmt;
    f->sample_rate = c->sample_rate;
    f->nb_samples = c->frame_size > 0 ? c->frame_size : 2048;
    if (av_channel_layout_copy(&f->ch_layout, &c->ch_layout) < 0 ||
        av_frame_get_buffer(f.get(), 0) < 0)
        return {};
    return f;
}

// Where the tags go. The muxer would write each tag twice (its own lower-case names in the
// extended block beside the main description) and loses the Description from the main block,
// so it writes a reserve of the right size instead, which finish() replaces in place with the
// tags in their places and a padding object: nothing behind the header moves.
namespace asf {
using Guid = std::array<unsigned char, 16>;
constexpr Guid kContentDescription = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kExtendedContent = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                   0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
constexpr Guid kFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                  0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kPadding = {0x74, 0xD4, 0x06, 0x18, 0xDF, 0xCA, 0x09, 0x45,
                           0xA4, 0xBA, 0x9A, 0xAB, 0xCB, 0x96, 0xAA, 0xE8};
constexpr qint64 kObjectHead = 24;   // GUID and 64-bit size
constexpr qint64 kHeaderObject = 30; // the header object's own fields before its children
// The main description's fields, in its order.
const char* const kDescriptionNames[] = {"Title", "Author", "Copyright", "Description", "Rating"};
// A string field's bytes hold UTF-16 with its terminator in a 16-bit length.
constexpr qsizetype kMaxTextUnits = 0xFFFF / 2 - 1;

QByteArray utf16z(const QString& text) {
    QByteArray b(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    b.append(2, '\0');
    return b;
}

QByteArray object(const Guid& guid, const QByteArray& body) {
    QByteArray b(reinterpret_cast<const char*>(guid.data()), 16);
    put64(b, static_cast<std::uint64_t>(body.size() + kObjectHead));
    return b + body;
}

int descriptionField(const QString& name) {
    for (int i = 0; i < 5; ++i)
        if (name.compare(QLatin1String(kDescriptionNames[i]), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// The main description and the extended block the tags make, each only when it has a tag.
struct TagObjects {
    QByteArray bytes;
    int objects = 0;
};
TagObjects tagObjects(const WmaTags& tags) {
    std::array<QString, 5> fields;
    QByteArray extended;
    int count = 0;
    for (const auto& [name, text] : tags) {
        if (const int f = descriptionField(name); f >= 0) {
            fields[static_cast<size_t>(f)] = text;
            continue;
        }
        const QByteArray key = utf16z(name), value = utf16z(text);
        put16(extended, static_cast<std::uint16_t>(key.size()));
        extended += key;
        put16(extended, 0); // a Unicode string
        put16(extended, static_cast<std::uint16_t>(value.size()));
        extended += value;
        ++count;
    }
    TagObjects out;
    if (std::any_of(fields.begin(), fields.end(), [](const QString& t) { return !t.isEmpty(); })) {
        QByteArray lengths, texts;
        for (const QString& t : fields) {
            const QByteArray b = t.isEmpty() ? QByteArray() : utf16z(t);
            put16(lengths, static_cast<std::uint16_t>(b.size()));
            texts += b;
        }
        out.bytes += object(kContentDescription, lengths + texts);
        ++out.objects;
    }
    if (count > 0) {
        QByteArray body;
        put16(body, static_cast<std::uint16_t>(count));
        out.bytes += object(kExtendedContent, body + extended);
        ++out.objects;
    }
    return out;
}

// Entries for the muxer whose extended block is at least `bytes` long.
std::vector<std::pair<QByteArray, QByteArray>> reserve(qint64 bytes) {
    std::vector<std::pair<QByteArray, QByteArray>> entries;
    qint64 have = kObjectHead + 2;
    while (have < bytes) {
        QByteArray name = "KvReserve" + QByteArray::number(entries.size());
        const qint64 fixed = 2 + (name.size() + 1) * 2 + 4 + 2;
        const qint64 units = std::clamp<qint64>((bytes - have - fixed) / 2 + 1, 0, 30000);
        have += fixed + units * 2;
        entries.emplace_back(std::move(name), QByteArray(units, ' '));
    }
    return entries;
}

// Replaces the reserve in the header of the file open on `fd` by `tags` and a padding
// object of the same total size.
bool placeTags(int fd, const TagObjects& tags) {
    QByteArray head(kHeaderObject, '\0');
    if (::pread(fd, head.data(), head.size(), 0) != head.size())
        return false;
    const qint64 size = static_cast<qint64>(qFromLittleEndian<quint64>(head.constData() + 16));
    const quint32 count = qFromLittleEndian<quint32>(head.constData() + 24);
    if (size < kHeaderObject || size > (1 << 24))
        return false;
    QByteArray header(size, '\0');
    if (::pread(fd, header.data(), header.size(), 0) != header.size())
        return false;
    QByteArray kept;
    quint32 objects = 0;
    qint64 freed = 0;
    for (qint64 at = kHeaderObject, i = 0; i < count; ++i) {
        if (at + kObjectHead > size)
            return false;
        const qint64 length =
            static_cast<qint64>(qFromLittleEndian<quint64>(header.constData() + at + 16));
        if (length < kObjectHead || at + length > size)
            return false;
        const QByteArray guid = header.mid(at, 16);
        const auto is = [&](const Guid& g) {
            return guid == QByteArray::fromRawData(reinterpret_cast<const char*>(g.data()), 16);
        };
        if (is(kExtendedContent) || is(kContentDescription) || is(kPadding)) {
            freed += length;
        } else {
            kept += header.mid(at, length);
            ++objects;
        }
        at += length;
    }
    const qint64 padding = freed - tags.bytes.size() - kObjectHead;
    if (padding < 0)
        return false;
    const QByteArray children = kept + tags.bytes + object(kPadding, QByteArray(padding, '\0'));
    objects += static_cast<quint32>(tags.objects) + 1;
    if (kHeaderObject + children.size() != size)
        return false;
    qToLittleEndian<quint32>(objects, head.data() + 24);
    const QByteArray whole = head + children;
    return ::pwrite(fd, whole.constData(), whole.size(), 0) == whole.size();
}
// Sets the broadcast flag of the header in the file open on `fd`: until the muxer writes the
// final header, readers take the sizes and the play time (all 0 so far) for unknown, so a file
// cut short (the program killed) plays as far as it goes.
bool markBroadcast(int fd) {
    QByteArray head(kHeaderObject, '\0');
    if (::pread(fd, head.data(), head.size(), 0) != head.size())
        return false;
    const qint64 size = static_cast<qint64>(qFromLittleEndian<quint64>(head.constData() + 16));
    if (size < kHeaderObject || size > (1 << 24))
        return false;
    QByteArray header(size, '\0');
    if (::pread(fd, header.data(), header.size(), 0) != header.size())
        return false;
    const QByteArray guid(reinterpret_cast<const char*>(kFileProperties.data()), 16);
    constexpr qint64 kFlags = 88; // after the sizes, times and preroll
    for (qint64 at = kHeaderObject, length = 0; at + kObjectHead <= size; at += length) {
        length = static_cast<qint64>(qFromLittleEndian<quint64>(header.constData() + at + 16));
        if (length < kObjectHead || at + length > size)
            return false;
        if (header.mid(at, 16) == guid && length >= kFlags + 4) {
            char flags[4];
            qToLittleEndian<quint32>(
                qFromLittleEndian<quint32>(header.constData() + at + kFlags) | 1, flags);
            return ::pwrite(fd, flags, 4, at + kFlags) == 4;
        }
    }
    return false;
}
} // namespace asf

} // namespace

const char* WmaEncoderName() {
    return encoderName.load();
}

void SetWmaEncoderName(const char* name) {
    encoderName.store(name);
}

bool WmaEncoderPresent() {
    const AVCodec* codec = avcodec_find_encoder_by_name(WmaEncoderName());
    return codec != nullptr && codec->type == AVMEDIA_TYPE_AUDIO && asfFormat() != nullptr;
}

struct WmaFileWriter::State : EncoderCore {
    PcmFormat input;
    int fd = -1; // the file written; -1 in memory
    asf::TagObjects tags;
};

WmaFileWriter::WmaFileWriter() : s_(std::make_unique<State>()) {}
WmaFileWriter::~WmaFileWriter() = default;

bool WmaFileWriter::open(int fd, const QString& path, const PcmFormat& input, int bitrate,
                         const WmaTags& tags) {
    State& s = *s_;
    s.input = input;
    s.path = path;
    s.fd = fd;
    s.interleaved = true;
    for (const auto& [name, text] : tags) {
        if (name.size() > asf::kMaxTextUnits || text.size() > asf::kMaxTextUnits)
            return s.fail(QStringLiteral("the WMA tag %1 is longer than %2 characters")
                              .arg(name.left(64))
                              .arg(asf::kMaxTextUnits));
    }
    if (input.channels <= 0 || input.channels > kWmaMaxChannels || input.sampleRate <= 0)
        return s.fail(QStringLiteral("WMA cannot hold %1 channels at %2 Hz")
                          .arg(input.channels)
                          .arg(input.sampleRate));
    const int rate = std::min(input.sampleRate, kWmaMaxRate);
    s.codec = openEncoder(rate, input.channels, bitrate);
    if (!s.codec)
        return s.fail(QStringLiteral("the WMA encoder (%1) cannot be opened at %2 bit/s")
                          .arg(QString::fromLatin1(WmaEncoderName()))
                          .arg(bitrate));
    s.frame = encoderFrame(s.codec.get());
    s.frameSize = s.frame ? s.frame->nb_samples : 0;
    s.packet.reset(av_packet_alloc());
    s.fifo.reset(av_audio_fifo_alloc(s.codec->sample_fmt, input.channels, s.codec->frame_size));
    if (!s.frame || !s.packet || !s.fifo)
        return s.fail(QStringLiteral("out of memory"));

    SwrContext* swr = nullptr;
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, input.channels);
    const int rc = swr_alloc_set_opts2(
        &swr, &s.codec->ch_layout, s.codec->sample_fmt, rate, &layout,
        input.eightBit ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16, input.sampleRate, 0, nullptr);
    av_channel_layout_uninit(&layout);
    s.swr.reset(swr);
    if (rc < 0 || !s.swr || swr_init(s.swr.get()) < 0)
        return s.fail(QStringLiteral("the resampler cannot be opened"), rc);

    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr)
        return s.fail(QStringLiteral("out of memory"));
    raw->oformat = asfFormat();
    s.muxer = MuxerPtr(raw, MuxerFreer{fd < 0});
    s.stream = avformat_new_stream(raw, nullptr);
    if (s.stream == nullptr ||
        avcodec_parameters_from_context(s.stream->codecpar, s.codec.get()) < 0)
        return s.fail(QStringLiteral("the WMA stream cannot be set up"));
    s.stream->time_base = s.codec->time_base;
    if (fd >= 0) {
        s.tags = asf::tagObjects(tags);
        if (!s.tags.bytes.isEmpty()) {
            for (const auto& [name, value] : asf::reserve(s.tags.bytes.size() + asf::kObjectHead))
                av_dict_set(&raw->metadata, name.constData(), value.constData(), 0);
        }
    }

    if (fd < 0) {
        if (avio_open_dyn_buf(&raw->pb) < 0)
            return s.fail(QStringLiteral("out of memory"));
    } else {
        if (const int opened = s.openFile(fd); opened < 0)
            return s.fail(path, opened);
    }
    if (const int written = avformat_write_header(raw, nullptr); written < 0)
        return s.fail(path, written);
    avio_flush(raw->pb);
    if (raw->pb->error < 0)
        return s.fail(path);
    errno = 0;
    return fd < 0 || asf::markBroadcast(fd) ||
           s.fail(errno != 0 ? SystemErrorText(path, errno)
                             : path + QStringLiteral(": the header cannot be marked"));
}

bool WmaFileWriter::write(const char* data, std::int64_t bytes) {
    State& s = *s_;
    if (s.failed || !s.muxer)
        return false;
    return s.writePcm(data, bytes, s.input.bytesPerFrame(), s.input.sampleRate,
                      QStringLiteral("the WMA encoder failed"));
}

bool WmaFileWriter::finish() {
    State& s = *s_;
    if (s.failed || !s.muxer)
        return false;
    // What the resampler holds, the short last frame, then what the encoder holds.
    bool ok = s.resample(nullptr, 0) && s.encodeFromFifo(true) && s.send(nullptr);
    ok = av_write_trailer(s.muxer.get()) >= 0 && ok;
    AVFormatContext* muxer = s.muxer.get();
    if (muxer->pb != nullptr && !s.muxer.get_deleter().memory) {
        avio_flush(muxer->pb);
        ok = muxer->pb->error >= 0 && ok;
        if (!ok)
            s.fail(QStringLiteral("the WMA encoder failed"));
        if (const int closed = avio_closep(&muxer->pb); closed < 0 && ok) {
            ok = s.fail(s.path, closed);
        }
        if (ok && !s.tags.bytes.isEmpty()) {
            errno = 0;
            if (!asf::placeTags(s.fd, s.tags))
                ok = s.fail(errno != 0 ? SystemErrorText(s.path, errno)
                                       : s.path + QStringLiteral(": the tags found no room"));
        }
    } else if (!ok) {
        s.fail(QStringLiteral("the WMA encoder failed"));
    }
    s.muxer.reset();
    s.failed = !ok;
    return ok;
}

int WmaFileWriter::encodedRate() const {
    return s_->codec ? s_->codec->sample_rate : 0;
}

QString WmaFileWriter::errorString() const {
    return s_->error;
}

std::int64_t WmaFileWriter::encodedBitrate() const {
    return s_->codec ? s_->codec->bit_rate : 0;
}

bool WmaBitrateEncodes(int sampleRate, int channels, int bitrate, std::int64_t* actual) {
    CodecPtr codec = openEncoder(sampleRate, channels, bitrate);
    if (!codec)
        return false;
    if (actual)
        *actual = codec->bit_rate;
    FramePtr frame = encoderFrame(codec.get());
    PacketPtr packet(av_packet_alloc());
    if (!frame || !packet || codec->sample_fmt != AV_SAMPLE_FMT_FLTP)
        return false;
    // Full-scale noise leaves the fewest bits to spare.
    std::uint32_t seed = 12345;
    for (int i = 0; i < 4; ++i) {
        if (av_frame_make_writable(frame.get()) < 0)
            return false;
        for (int c = 0; c < channels; ++c) {
            auto* plane = reinterpret_cast<float*>(frame->data[c]);
            for (int n = 0; n < frame->nb_samples; ++n) {
                seed = seed * 1664525u + 1013904223u;
                plane[n] = static_cast<float>(static_cast<std::int32_t>(seed)) / 2147483648.0f;
            }
        }
        frame->pts = static_cast<std::int64_t>(i) * frame->nb_samples;
        if (avcodec_send_frame(codec.get(), frame.get()) < 0)
            return false;
        while (avcodec_receive_packet(codec.get(), packet.get()) == 0)
            av_packet_unref(packet.get());
    }
    if (avcodec_send_frame(codec.get(), nullptr) < 0)
        return false;
    int rc = 0;
    while ((rc = avcodec_receive_packet(codec.get(), packet.get())) == 0)
        av_packet_unref(packet.get());
    return rc == AVERROR_EOF;
}

bool WriteEmptyWma(const QString& path) {
    if (path.isEmpty()) {
        WmaFileWriter writer;
        return writer.open(-1, path, PcmFormat{44100, 2, false}, 128000, {}) && writer.finish();
    }
    // The program's own test file, made anew each time.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    WmaFileWriter writer;
    if (writer.open(file.handle(), path, PcmFormat{44100, 2, false}, 128000, {}) &&
        writer.finish())
        return true;
    // A file we could not finish is no test file.
    RemoveOwnOutput(file.handle(), path);
    return false;
}

} // namespace kv
