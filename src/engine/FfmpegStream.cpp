#include "engine/FfmpegStream.h"
#include "engine/FfmpegHandles.h"

#include "engine/AudioError.h"
#include "engine/Mp3Gapless.h"
#include "engine/UserFile.h"
#include "engine/WavDataSize.h"
#include "settings/NativePath.h"

#include <QList>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace kv {

namespace {

using namespace std::string_view_literals;



// Consecutive undecodable packets after which a damaged file counts as ended.
constexpr int kMaxBadPackets = 500;
// Frames a guessed format must decode without a damaged packet among them.
constexpr int kProofFrames = 16;

// What opening may read. Reading the header takes what the format needs (an index, a cover
// picture) up to the first budget. Finding the stream and decoding its first frame take the
// second: FFmpeg's own limit (probesize) counts only packets that came out, while a parser fed
// junk (zeros named .mp3) reads and keeps the whole file without ever giving one.
// A format FFmpeg only guessed gets a quarter: a real file of that kind shows its frames at
// once, and junk is what usually ends up here.
constexpr std::int64_t kHeaderReadBudget = 64LL * 1024 * 1024;
constexpr std::int64_t kStreamReadBudget = 16LL * 1024 * 1024;
constexpr std::int64_t kGuessedStreamReadBudget = 4LL * 1024 * 1024;

using SteadyClock = std::chrono::steady_clock;

// FFmpeg asks this before every read and between the steps of finding a stream: a cancel, a
// deadline passed or the read budget spent ends the open.
struct OpenGuard {
    const std::atomic<bool>* cancel = nullptr;
    SteadyClock::time_point deadline = SteadyClock::time_point::max();
    const UserInput* input = nullptr;
    std::int64_t readLimit = std::numeric_limits<std::int64_t>::max();

    static int check(void* opaque) {
        const auto* g = static_cast<const OpenGuard*>(opaque);
        if (g->cancel != nullptr && g->cancel->load(std::memory_order_relaxed))
            return 1;
        if (g->deadline != SteadyClock::time_point::max() && SteadyClock::now() >= g->deadline)
            return 1;
        return g->input != nullptr && g->input->bytesRead() > g->readLimit;
    }
    std::int64_t bytesRead() const { return input != nullptr ? input->bytesRead() : 0; }
    // Once open, reading runs to the end of the file.
    void release() {
        cancel = nullptr;
        deadline = SteadyClock::time_point::max();
        input = nullptr;
        readLimit = std::numeric_limits<std::int64_t>::max();
    }
};

// Formats whose first bytes say for sure what they are: a file with such an extension that
// starts so is opened with that demuxer alone, instead of running every demuxer's detection
// over it (most of the cost of measuring a short file). Anything else, a file whose
// extension lies included, goes through full detection.
struct KnownFormat {
    const char* extensions; // space-separated, lower case
    const char* demuxer;
    bool (*startsLike)(const QByteArray& head);
};

bool startsWith(const QByteArray& head, qsizetype at, std::string_view magic) {
    return head.size() >= at + static_cast<qsizetype>(magic.size()) &&
           std::memcmp(head.constData() + at, magic.data(), magic.size()) == 0;
}

const KnownFormat kKnownFormats[] = {
    {"wav", "wav",
     [](const QByteArray& h) {
         return (startsWith(h, 0, "RIFF") || startsWith(h, 0, "RF64")) && startsWith(h, 8, "WAVE");
     }},
    {"avi", "avi",
     [](const QByteArray& h) { return startsWith(h, 0, "RIFF") && startsWith(h, 8, "AVI "); }},
    {"flac", "flac", [](const QByteArray& h) { return startsWith(h, 0, "fLaC"); }},
    {"ogg spx opus", "ogg", [](const QByteArray& h) { return startsWith(h, 0, "OggS"); }},
    {"wma wmv asf", "asf",
     [](const QByteArray& h) {
         return startsWith(h, 0,
                           "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv);
     }},
    {"mp4 mov alac m4a", "mov", [](const QByteArray& h) { return startsWith(h, 4, "ftyp"); }},
    {"ape", "ape", [](const QByteArray& h) { return startsWith(h, 0, "MAC "); }},
    {"tta", "tta", [](const QByteArray& h) { return startsWith(h, 0, "TTA1"); }},
};

const AVInputFormat* formatFromExtension(const QString& path, const QByteArray& head) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return nullptr;
    const QByteArray ext = name.mid(dot + 1).toLower().toLatin1();
    for (const KnownFormat& f : kKnownFormats) {
        const QList<QByteArray> names = QByteArray(f.extensions).split(' ');
        if (names.contains(ext) && f.startsLike(head))
            return av_find_input_format(f.demuxer);
    }
    return nullptr;
}

bool isEightBit(int format) {
    return format == AV_SAMPLE_FMT_U8 || format == AV_SAMPLE_FMT_U8P;
}

// The layout a program that knows only the channel count assumes (the Vorbis and WAVE
// orders agree on these); FFmpeg's default beyond eight, which has no speaker names for most
// counts (9 to 15, 17 to 23, 25 and more).
void layoutForCount(AVChannelLayout* layout, int count) {
    static constexpr std::uint64_t kMasks[] = {
        0,
        AV_CH_LAYOUT_MONO,
        AV_CH_LAYOUT_STEREO,
        AV_CH_LAYOUT_SURROUND,
        AV_CH_LAYOUT_QUAD,
        AV_CH_LAYOUT_5POINT0_BACK,
        AV_CH_LAYOUT_5POINT1_BACK,
        AV_CH_LAYOUT_6POINT1,
        AV_CH_LAYOUT_7POINT1,
    };
    if (count >= 1 && count <= 8)
        av_channel_layout_from_mask(layout, kMasks[count]);
    else
        av_channel_layout_default(layout, count);
}

// The mix of `in` into `out` (a row per output, stride the input count) in which every source
// channel is heard. Where FFmpeg knows both layouts it is FFmpeg's own downmix; a channel that
// leaves out (the LFE, top, wide and bottom speakers) goes into every output at equal power.
// Channels without speaker names are dealt out in turn, the first to the first output. The whole is
// then scaled so that no output can clip, as FFmpeg scales its own. FFmpeg refuses to mix a source
// without names by itself, so the resampler always gets this matrix.
std::vector<double> mixMatrix(const AVChannelLayout& in, const AVChannelLayout& out) {
    const int n = in.nb_channels, o = out.nb_channels;
    std::vector<double> m(static_cast<size_t>(n) * static_cast<size_t>(o), 0.0);
    const auto at = [&](int row, int col) -> double& {
        return m[static_cast<size_t>(row) * static_cast<size_t>(n) + static_cast<size_t>(col)];
    };
    // FFmpeg fills a whole 64 x 64 matrix, whatever the counts; it is scaled once, below.
    constexpr int kAll = 64;
    constexpr double kUnscaled = std::numeric_limits<int>::max();
    std::vector<double> all(static_cast<size_t>(kAll * kAll), 0.0);
    const bool named = in.order == AV_CHANNEL_ORDER_NATIVE &&
                       out.order == AV_CHANNEL_ORDER_NATIVE && n <= kAll && o <= kAll &&
                       swr_build_matrix2(&in, &out, M_SQRT1_2, M_SQRT1_2, 0.0, kUnscaled, 1.0,
                                         all.data(), kAll, AV_MATRIX_ENCODING_NONE, nullptr) >= 0;
    for (int r = 0; named && r < o; ++r) {
        for (int i = 0; i < n; ++i)
            at(r, i) = all[static_cast<size_t>(r * kAll + i)];
    }
    for (int i = 0; i < n; ++i) {
        bool heard = false;
        for (int r = 0; r < o && !heard; ++r)
            heard = at(r, i) != 0.0;
        if (heard)
            continue;
        if (named) {
            for (int r = 0; r < o; ++r)
                at(r, i) = 1.0 / std::sqrt(static_cast<double>(o));
        } else {
            at(i % o, i) = 1.0;
        }
    }
    double loudest = 0.0;
    for (int r = 0; r < o; ++r) {
        double sum = 0.0;
        for (int i = 0; i < n; ++i)
            sum += std::fabs(at(r, i));
        loudest = std::max(loudest, sum);
    }
    if (loudest > 1.0) {
        for (double& v : m)
            v /= loudest;
    }
    return m;
}

// Each source speaker moved to the same speaker of `out` or, failing that, to its side or back
// twin, so a 6.1 with back speakers keeps them apart from the back centre: no mixing, no change
// of level. False when some speaker has no place of its own; the resampler then mixes.
bool speakerPermutation(const AVChannelLayout& in, const AVChannelLayout& out,
                        std::vector<double>& matrix) {
    const int n = in.nb_channels;
    if (n != out.nb_channels || in.order != AV_CHANNEL_ORDER_NATIVE)
        return false;
    matrix.assign(static_cast<size_t>(n) * static_cast<size_t>(n), 0.0);
    std::vector<bool> taken(static_cast<size_t>(n), false);
    for (int i = 0; i < n; ++i) {
        const AVChannel speaker = av_channel_layout_channel_from_index(&in, i);
        const AVChannel twin = speaker == AV_CHAN_SIDE_LEFT    ? AV_CHAN_BACK_LEFT
                               : speaker == AV_CHAN_SIDE_RIGHT ? AV_CHAN_BACK_RIGHT
                               : speaker == AV_CHAN_BACK_LEFT  ? AV_CHAN_SIDE_LEFT
                               : speaker == AV_CHAN_BACK_RIGHT ? AV_CHAN_SIDE_RIGHT
                                                               : AV_CHAN_NONE;
        int o = av_channel_layout_index_from_channel(&out, speaker);
        if ((o < 0 || taken[static_cast<size_t>(o)]) && twin != AV_CHAN_NONE)
            o = av_channel_layout_index_from_channel(&out, twin);
        if (o < 0 || taken[static_cast<size_t>(o)])
            return false;
        taken[static_cast<size_t>(o)] = true;
        matrix[static_cast<size_t>(o * n + i)] = 1.0;
    }
    return true;
}

// The WAVE speaker mask of a layout: FFmpeg numbers the first eighteen speakers as WAVE does.
std::uint64_t waveMask(const AVChannelLayout& layout) {
    constexpr std::uint64_t kWaveSpeakers = 0x3FFFF;
    if (layout.order != AV_CHANNEL_ORDER_NATIVE || (layout.u.mask & ~kWaveSpeakers) != 0)
        return 0;
    return layout.u.mask;
}

class FfmpegStream final : public DecodeStream {
public:
    FfmpegStream() : DecodeStream(ChannelKind::Stream) {}

    // 0 on success, else the error code.
    int open(const QString& path, const StreamOpenOptions& options);

private:
    // The demuxer on the file, with the guard in place; `forced` skips detection.
    int openInput(const AVInputFormat* forced);
    int openStream(const QString& path, const StreamOpenOptions& options);

protected:
    std::int64_t decode(char* out, std::int64_t max) override;

private:
    // Decodes until converted PCM is pending; false at the end.
    bool refill();
    // One receive, or one packet read and sent; false once decoding has ended.
    bool step();
    enum class Converted { Some, Nothing, Failed };
    Converted convert(const AVFrame* frame);
    bool configureResampler(const AVFrame* frame);
    // Ends decoding with `code`: what was delivered so far is not the whole file.
    bool fail(int code);
    void drainResampler();
    // With wideSamples: the delivered format for a decoder's `format` (before any PCM went out).
    void chooseWideFormat(AVSampleFormat format);

    // Before the handles, so it outlives them: FFmpeg calls it until the format is closed.
    OpenGuard guard_;
    std::shared_ptr<UserFile> file_;
    UserInput input_;
    AVFormatContext* format_ = nullptr; // input_'s
    CodecPtr codec_;
    SwrPtr swr_;
    PacketPtr packet_;
    FramePtr frame_;
    int streamIndex_ = -1;
    AVSampleFormat outFormat_ = AV_SAMPLE_FMT_S16;
    AVChannelLayout outLayout_{};
    // Input the resampler is set up for; a change mid-stream sets it up again.
    int swrInFormat_ = -1, swrInRate_ = 0;
    AVChannelLayout swrInLayout_{};
    std::vector<char> pending_;
    size_t pendingOffset_ = 0;
    bool formatFixed_ = false, flushing_ = false, drained_ = false;
    int badPackets_ = 0;
    int framesDecoded_ = 0, packetErrors_ = 0;
    StreamOpenOptions options_;

public:
    ~FfmpegStream() override {
        av_channel_layout_uninit(&outLayout_);
        av_channel_layout_uninit(&swrInLayout_);
    }
};

int FfmpegStream::open(const QString& path, const StreamOpenOptions& options) {
    options_ = options;
    guard_.cancel = options.cancel;
    if (options.openTimeoutMs > 0)
        guard_.deadline = SteadyClock::now() + std::chrono::milliseconds(options.openTimeoutMs);
    const int rc = openStream(path, options);
    guard_.release();
    return rc;
}

int FfmpegStream::openInput(const AVInputFormat* forced) {
    format_ = nullptr;
    guard_.input = &input_;
    guard_.readLimit = kHeaderReadBudget;
    AVDictionary* rawOpts = nullptr;
    // FFmpeg looks for a compressed stream inside 16-bit PCM data by running every demuxer's
    // detection over up to 32 packets, which costs a short WAV file several milliseconds. The
    // first packet tells as well: an MP3 or AC-3 stream under a PCM header is still found.
    if (forced != nullptr && std::strcmp(forced->name, "wav") == 0)
        av_dict_set(&rawOpts, "max_probe_packets", "1", 0);
    const int opened = input_.open(file_, forced, &OpenGuard::check, &guard_, &rawOpts);
    av_dict_free(&rawOpts);
    if (opened < 0)
        return opened;
    format_ = input_.format();
    return 0;
}

int FfmpegStream::openStream(const QString& path, const StreamOpenOptions& options) {
    // Every read of the open goes through this one descriptor of a regular file.
    file_ = UserFile::open(path);
    if (!file_)
        return kAudioErrorFileOpen;
    const AVInputFormat* known = formatFromExtension(path, file_->readAt(0, 16));
    int opened = known != nullptr ? openInput(known) : -1;
    const bool sure = opened >= 0; // its first bytes named the format
    if (opened < 0 && !(options.cancel != nullptr && options.cancel->load()))
        opened = openInput(nullptr);
    if (opened < 0)
        return kAudioErrorFormat;
    // Guessed: FFmpeg's own words for it are "misdetection possible".
    const bool guessed = !sure && format_->probe_score <= AVPROBE_SCORE_RETRY;
    guard_.readLimit =
        guard_.bytesRead() + (guessed ? kGuessedStreamReadBudget : kStreamReadBudget);
    if (avformat_find_stream_info(format_, nullptr) < 0)
        return kAudioErrorFormat;

    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        AVStream* st = format_->streams[i];
        if (streamIndex_ < 0 && st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            streamIndex_ = static_cast<int>(i);
        else
            st->discard = AVDISCARD_ALL;
    }
    if (streamIndex_ < 0)
        return kAudioErrorFormat;
    AVStream* st = format_->streams[streamIndex_];
    const AVCodecParameters* par = st->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    if (decoder == nullptr || par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)
        return kAudioErrorFormat;
    codec_.reset(avcodec_alloc_context3(decoder));
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!codec_ || !packet_ || !frame_)
        return kAudioErrorMemory;
    if (avcodec_parameters_to_context(codec_.get(), par) < 0)
        return kAudioErrorFormat;
    codec_->pkt_timebase = st->time_base;
    if (avcodec_open2(codec_.get(), decoder, nullptr) < 0)
        return kAudioErrorFormat;

    info_.sampleRate = codec_->sample_rate > 0 ? codec_->sample_rate : par->sample_rate;
    info_.channels = codec_->ch_layout.nb_channels;
    if (options.maxChannels > 0 && info_.channels > options.maxChannels) {
        // The resampler mixes every source channel into the fewer ones asked for.
        info_.channels = options.maxChannels;
        if (options.countLayout)
            layoutForCount(&outLayout_, info_.channels);
        else
            av_channel_layout_default(&outLayout_, info_.channels);
    } else if (options.countLayout) {
        layoutForCount(&outLayout_, info_.channels);
    } else if (codec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&outLayout_, info_.channels);
    } else if (av_channel_layout_copy(&outLayout_, &codec_->ch_layout) < 0) {
        return kAudioErrorMemory;
    }
    info_.channelMask = waveMask(outLayout_);

    // The first decoded frame proves the file is what it claims and fixes the sample format.
    // A PCM file whose data is empty is a valid, silent stream of no length.
    if (!refill()) {
        if (failure_ != kAudioOk)
            return failure_;
        const bool pcm =
            par->codec_id >= AV_CODEC_ID_PCM_S16LE && par->codec_id < AV_CODEC_ID_ADPCM_IMA_QT;
        if (!pcm || badPackets_ > 0)
            return kAudioErrorFormat;
        info_.eightBit = !options.sixteenBit && par->codec_id == AV_CODEC_ID_PCM_U8;
        if (options.wideSamples)
            chooseWideFormat(codec_->sample_fmt);
        exact_ = true;
        length_ = 0;
        return kAudioOk;
    }
    // A guessed format (from the extension, or a frame or two) must go on decoding cleanly for
    // a while. Random bytes named .aac pass for one frame now and then; a real short file
    // decodes to its end.
    if (guessed) {
        while (framesDecoded_ < kProofFrames && packetErrors_ == 0 && step()) {
        }
        if (failure_ != kAudioOk || packetErrors_ > 0)
            return kAudioErrorFormat;
    }

    // The length in frames, and whether the file states it exactly: whether reading to the
    // end delivers exactly it. Lossless codecs (PCM in WAV, FLAC, ALAC, TTA, WavPack...) take
    // it from the container; so do Ogg (the last granule position) and MP4/MOV (edit lists
    // leave out the encoder's priming). An MP3 with a LAME/Info tag gives its frame count and
    // the encoder delay and padding that decoding trims. Everything else is an estimate, as
    // close as FFmpeg gets it: an MP3 without a frame index (from its bitrate), raw AC-3 or
    // ADX, and lossy codecs in ASF, AVI or MPEG, whose durations count the encoder's delay.
    std::int64_t frames = -1;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        frames = av_rescale_q(st->duration, st->time_base, AVRational{1, info_.sampleRate});
    else if (format_->duration != AV_NOPTS_VALUE && format_->duration > 0)
        frames = av_rescale(format_->duration, info_.sampleRate, AV_TIME_BASE);
    const AVCodecDescriptor* desc = avcodec_descriptor_get(par->codec_id);
    const bool lossless = desc != nullptr && (desc->props & AV_CODEC_PROP_LOSSLESS) != 0;
    const char* demuxer = format_->iformat->name;
    exact_ = false;
    if (frames >= 0 && format_->duration_estimation_method != AVFMT_DURATION_FROM_BITRATE) {
        if (par->codec_id == AV_CODEC_ID_MP3) {
            if (const std::optional<Mp3Gapless> g = ReadMp3Gapless(*file_);
                g && std::strcmp(demuxer, "mp3") == 0) {
                frames = g->samples();
                exact_ = true;
            }
        } else {
            exact_ = lossless || std::strcmp(demuxer, "ogg") == 0 ||
                     std::strstr(demuxer, "mov") != nullptr;
        }
    }
    // A WAV file shorter than its header says gets a length from its size, an estimate; the
    // header's own is exact, and reading such a file falls short of it.
    if (std::strcmp(demuxer, "wav") == 0 && lossless && par->block_align > 0) {
        if (const std::optional<std::uint64_t> bytes = ReadWavDataSize(*file_);
            bytes && static_cast<std::int64_t>(*bytes / par->block_align) > frames) {
            frames = static_cast<std::int64_t>(*bytes / par->block_align);
            exact_ = true;
        }
    }
    length_ = frames > 0 ? frames * bytesPerFrame() : 0;
    return kAudioOk;
}

void FfmpegStream::chooseWideFormat(AVSampleFormat format) {
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    if (packed == AV_SAMPLE_FMT_S32) {
        // 24-bit sources decode into 32-bit samples; the stream says how many bits count.
        const int bits = codec_->bits_per_raw_sample;
        info_.sourceBits = bits > 16 && bits <= 32 ? bits : 32;
        info_.wide = WideSamples::Int32;
        outFormat_ = AV_SAMPLE_FMT_S32;
    } else if (packed == AV_SAMPLE_FMT_FLT || packed == AV_SAMPLE_FMT_DBL) {
        info_.sourceBits = 32;
        info_.wide = WideSamples::Float;
        outFormat_ = AV_SAMPLE_FMT_FLT;
    } else if (packed == AV_SAMPLE_FMT_S64) {
        info_.sourceBits = 32;
        info_.wide = WideSamples::Int32;
        outFormat_ = AV_SAMPLE_FMT_S32;
    } else {
        info_.sourceBits = info_.eightBit ? 8 : 16;
    }
}

bool FfmpegStream::configureResampler(const AVFrame* frame) {
    swr_.reset();
    SwrContext* raw = nullptr;
    AVChannelLayout inLayout{};
    // Channels without names are taken in the order their count implies.
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC && options_.countLayout)
        layoutForCount(&inLayout, frame->ch_layout.nb_channels);
    else if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&inLayout, frame->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&inLayout, &frame->ch_layout);
    // More channels than the resampler takes (64) fail here.
    const int rc = swr_alloc_set_opts2(&raw, &outLayout_, outFormat_, info_.sampleRate, &inLayout,
                                       static_cast<AVSampleFormat>(frame->format),
                                       frame->sample_rate, 0, nullptr);
    swr_.reset(raw);
    if (rc >= 0 && swr_ && av_channel_layout_compare(&inLayout, &outLayout_) != 0) {
        std::vector<double> matrix;
        if (!(options_.countLayout && speakerPermutation(inLayout, outLayout_, matrix)))
            matrix = mixMatrix(inLayout, outLayout_);
        if (swr_set_matrix(swr_.get(), matrix.data(), inLayout.nb_channels) < 0)
            swr_.reset();
    }
    av_channel_layout_uninit(&inLayout);
    if (rc < 0 || !swr_ || swr_init(swr_.get()) < 0) {
        swr_.reset();
        return false;
    }
    swrInFormat_ = frame->format;
    swrInRate_ = frame->sample_rate;
    av_channel_layout_uninit(&swrInLayout_);
    av_channel_layout_copy(&swrInLayout_, &frame->ch_layout);
    return true;
}

FfmpegStream::Converted FfmpegStream::convert(const AVFrame* frame) {
    if (frame->nb_samples <= 0)
        return Converted::Nothing;
    if (frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0)
        return Converted::Failed;
    if (!formatFixed_) {
        formatFixed_ = true;
        // Only an 8-bit PCM source is delivered as 8-bit; everything else as 16-bit.
        info_.eightBit = !options_.sixteenBit && isEightBit(frame->format);
        outFormat_ = info_.eightBit ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
        if (options_.wideSamples)
            chooseWideFormat(static_cast<AVSampleFormat>(frame->format));
    }
    if (!swr_ || frame->format != swrInFormat_ || frame->sample_rate != swrInRate_ ||
        av_channel_layout_compare(&frame->ch_layout, &swrInLayout_) != 0) {
        drainResampler();
        if (!configureResampler(frame))
            return Converted::Failed;
    }
    const int capacity = swr_get_out_samples(swr_.get(), frame->nb_samples);
    if (capacity < 0)
        return Converted::Failed;
    if (capacity == 0)
        return Converted::Nothing;
    const size_t old = pending_.size();
    pending_.resize(old + static_cast<size_t>(capacity) * static_cast<size_t>(bytesPerFrame()));
    auto* dst = reinterpret_cast<uint8_t*>(pending_.data() + old);
    const int got =
        swr_convert(swr_.get(), &dst, capacity, const_cast<const uint8_t**>(frame->extended_data),
                    frame->nb_samples);
    pending_.resize(old +
                    static_cast<size_t>(got > 0 ? got : 0) * static_cast<size_t>(bytesPerFrame()));
    if (got < 0)
        return Converted::Failed;
    return got > 0 ? Converted::Some : Converted::Nothing;
}

void FfmpegStream::drainResampler() {
    if (!swr_)
        return;
    for (;;) {
        const int capacity = swr_get_out_samples(swr_.get(), 0);
        if (capacity <= 0)
            return;
        const size_t old = pending_.size();
        pending_.resize(old + static_cast<size_t>(capacity) * static_cast<size_t>(bytesPerFrame()));
        auto* dst = reinterpret_cast<uint8_t*>(pending_.data() + old);
        const int got = swr_convert(swr_.get(), &dst, capacity, nullptr, 0);
        pending_.resize(old + static_cast<size_t>(got > 0 ? got : 0) *
                                  static_cast<size_t>(bytesPerFrame()));
        if (got <= 0)
            return;
    }
}

bool FfmpegStream::refill() {
    if (pendingOffset_ >= pending_.size()) {
        pending_.clear();
        pendingOffset_ = 0;
    }
    while (pending_.size() == pendingOffset_) {
        if (!step())
            return false;
    }
    return true;
}

bool FfmpegStream::step() {
    if (drained_)
        return false;
    const int rc = avcodec_receive_frame(codec_.get(), frame_.get());
    if (rc == 0) {
        const Converted got = convert(frame_.get());
        av_frame_unref(frame_.get());
        if (got == Converted::Failed)
            return fail(kAudioErrorFormat);
        if (got == Converted::Some)
            ++framesDecoded_;
        return true;
    }
    if (rc == AVERROR_EOF) {
        drained_ = true;
        drainResampler();
        return true;
    }
    if (rc == AVERROR_INVALIDDATA) {
        // A damaged packet, found while decoding it: skipped as one refused when sent.
        ++packetErrors_;
        if (++badPackets_ > kMaxBadPackets && !flushing_) {
            flushing_ = true;
            avcodec_send_packet(codec_.get(), nullptr);
        } else if (badPackets_ > kMaxBadPackets) {
            drained_ = true;
        }
        return true;
    }
    if (rc != AVERROR(EAGAIN))
        return fail(rc == AVERROR(ENOMEM) ? kAudioErrorMemory : kAudioErrorFormat);
    if (flushing_) {
        // The decoder has given all it held: what was decoded is all there is.
        drained_ = true;
        return true;
    }
    const int readRc = av_read_frame(format_, packet_.get());
    if (readRc < 0) {
        // End of file or a read error: flush what the decoder still holds.
        flushing_ = true;
        avcodec_send_packet(codec_.get(), nullptr);
        return true;
    }
    if (packet_->stream_index != streamIndex_) {
        av_packet_unref(packet_.get());
        return true;
    }
    const int sent = avcodec_send_packet(codec_.get(), packet_.get());
    av_packet_unref(packet_.get());
    if (sent < 0 && sent != AVERROR(EAGAIN)) {
        ++packetErrors_;
        // A damaged packet is skipped; a file made of nothing else ends.
        if (++badPackets_ > kMaxBadPackets) {
            flushing_ = true;
            avcodec_send_packet(codec_.get(), nullptr);
        }
    } else {
        badPackets_ = 0;
    }
    return true;
}

bool FfmpegStream::fail(int code) {
    failure_ = code;
    drained_ = true;
    return false;
}

std::int64_t FfmpegStream::decode(char* out, std::int64_t max) {
    std::int64_t done = 0;
    while (done < max && refill()) {
        const size_t n =
            std::min<size_t>(static_cast<size_t>(max - done), pending_.size() - pendingOffset_);
        std::memcpy(out + done, pending_.data() + pendingOffset_, n);
        pendingOffset_ += n;
        done += static_cast<std::int64_t>(n);
    }
    return done;
}

} // namespace

void QuietFfmpegLog() {
    av_log_set_level(AV_LOG_QUIET);
}

std::unique_ptr<DecodeStream> OpenFfmpegStream(const QString& path,
                                               const StreamOpenOptions& options) {
    auto stream = std::make_unique<FfmpegStream>();
    const int rc = stream->open(path, options);
    SetAudioError(rc);
    if (rc != kAudioOk)
        return nullptr;
    return stream;
}

} // namespace kv
