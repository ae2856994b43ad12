#include "engine/PreviewPlayer.h"

#include "engine/AudioEngine.h"
#include "engine/AudioError.h"
#include "engine/Decoders.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>
#include <QMediaDevices>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>

namespace kv {

namespace {

// How far ahead of the sink the decoder may run, and how much the sound server keeps.
constexpr int kAheadMs = 100;
constexpr int kServerMs = 100;
// The decoder's block: one period of the sink.
constexpr int kBlockMs = 20;

std::size_t bytesFor(const StreamInfo& info, int ms, int frameBytes) {
    const std::int64_t frames =
        std::max<std::int64_t>(1, std::int64_t{info.sampleRate} * ms / 1000);
    return static_cast<std::size_t>(frames * frameBytes);
}

int frameBytesOf(const StreamInfo& info) {
    return info.channels * (info.eightBit ? 1 : 2);
}

// The stream opener first, then the module opener. The sink takes at most two channels.
std::unique_ptr<DecodeStream> OpenPreviewStream(const QString& path) {
    StreamOpenOptions options;
    options.maxChannels = 2;
    if (auto stream = OpenStreamUnicode(path, options))
        return stream;
    return LoadMusicUnicode(path);
}

} // namespace

// What one channel's decoder thread and the sink share: a ring of decoded bytes, always whole
// frames, and the flags that stop the thread or tell the sink that nothing more comes.
struct PreviewSession {
    PreviewSession(quint32 ch, QString file) : channel(ch), path(std::move(file)) {}

    const quint32 channel;
    const QString path;

    std::mutex mutex;
    std::condition_variable space; // the decoder waits here for room or for the stop
    std::vector<char> ring;
    std::size_t head = 0, count = 0;
    int frameBytes = 1;
    StreamInfo info;
    bool stop = false;
    bool starved = false; // the sink found the ring empty and waits for a wake-up
    bool started = false; // the first bytes have gone to the sink

    std::atomic<bool> ended{false};    // no more bytes will come
    std::atomic<bool> finished{false}; // the thread is done and can be joined at once

    // Appends whole frames; returns whether the sink waits for them.
    bool push(const char* data, std::size_t n) {
        std::lock_guard lock(mutex);
        for (std::size_t done = 0; done < n;) {
            const std::size_t tail = (head + count) % ring.size();
            const std::size_t part = std::min(n - done, ring.size() - tail);
            std::memcpy(ring.data() + tail, data + done, part);
            count += part;
            done += part;
        }
        const bool wake = starved;
        starved = false;
        return wake;
    }
};

// The sink's side of the ring, read on the thread of the sink. Qt's sound-server thread asks
// atEnd() as well, so that answer comes from an atomic.
class PreviewFeed final : public QIODevice {
public:
    PreviewFeed(std::shared_ptr<PreviewSession> session, PreviewPlayer* player, QObject* parent)
        : QIODevice(parent), session_(std::move(session)), player_(player) {}

    bool isSequential() const override { return true; }
    bool atEnd() const override { return session_->ended.load(); }
    qint64 bytesAvailable() const override {
        std::lock_guard lock(session_->mutex);
        return static_cast<qint64>(session_->count) + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* data, qint64 max) override {
        PreviewSession& s = *session_;
        bool first = false;
        std::size_t n = 0;
        {
            std::lock_guard lock(s.mutex);
            // The server takes whole frames only.
            n = std::min<std::size_t>(static_cast<std::size_t>(std::max<qint64>(max, 0)), s.count);
            n -= n % static_cast<std::size_t>(s.frameBytes);
            for (std::size_t done = 0; done < n;) {
                const std::size_t part = std::min(n - done, s.ring.size() - s.head);
                std::memcpy(data + done, s.ring.data() + s.head, part);
                s.head = (s.head + part) % s.ring.size();
                s.count -= part;
                done += part;
            }
            if (n == 0 && !s.ended.load())
                s.starved = true;
            if (n > 0 && !s.started) {
                s.started = first = true;
            }
        }
        s.space.notify_one();
        if (first) {
            // Told from the event loop: a receiver may stop the sink, which is inside this read.
            const quint32 ch = s.channel;
            PreviewPlayer* player = player_;
            QMetaObject::invokeMethod(
                player, [player, ch] { Q_EMIT player->audioStarted(ch); }, Qt::QueuedConnection);
        }
        return static_cast<qint64>(n);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::shared_ptr<PreviewSession> session_;
    PreviewPlayer* player_;
};

namespace {

// One channel's decoder: opens the file, keeps the ring full, and starts the file again from
// its beginning at its end. Ends when told to stop, or when the file gives nothing more.
void RunDecoder(std::shared_ptr<PreviewSession> s, const std::function<void(quint32, bool)>& opened,
                const std::function<void(quint32)>& wake,
                const std::function<void(quint32)>& endedFn) {
    std::unique_ptr<DecodeStream> stream = OpenPreviewStream(s->path);
    StreamInfo info;
    if (stream) {
        info = stream->info();
        std::lock_guard lock(s->mutex);
        s->info = info;
        s->frameBytes = std::max(1, frameBytesOf(info));
        s->ring.resize(bytesFor(info, kAheadMs, s->frameBytes));
    }
    opened(s->channel, stream != nullptr);
    if (!stream) {
        s->ended = true;
        s->finished = true;
        return;
    }
    const std::size_t frame = static_cast<std::size_t>(s->frameBytes);
    std::vector<char> block(bytesFor(info, kBlockMs, s->frameBytes));
    std::int64_t round = 0; // bytes delivered since the file was last started
    for (;;) {
        std::size_t want = 0;
        {
            std::unique_lock lock(s->mutex);
            s->space.wait(lock, [&] { return s->stop || s->ring.size() - s->count >= frame; });
            if (s->stop)
                break;
            want = std::min(block.size(), s->ring.size() - s->count);
            want -= want % frame;
        }
        const std::int64_t got = std::max<std::int64_t>(0, stream->read(block.data(), want));
        round += got;
        std::size_t n = static_cast<std::size_t>(got);
        if (got < static_cast<std::int64_t>(want)) {
            // A round that stops inside a frame is filled up with silence, so the next round
            // starts on the first channel again. There is room: `want` was whole frames.
            const std::size_t pad = (frame - static_cast<std::size_t>(round) % frame) % frame;
            std::memset(block.data() + n, info.eightBit ? 0x80 : 0, pad);
            n += pad;
        }
        if (n > 0 && s->push(block.data(), n))
            wake(s->channel);
        if (got == static_cast<std::int64_t>(want))
            continue;
        // The end of the file: again from its beginning, unless a whole round gave nothing
        // (an empty file would spin) or the file has gone or changed meanwhile.
        stream.reset();
        if (round > 0) {
            stream = OpenPreviewStream(s->path);
            if (stream && (stream->info().sampleRate != info.sampleRate ||
                           stream->info().channels != info.channels ||
                           stream->info().eightBit != info.eightBit))
                stream.reset();
        }
        if (!stream) {
            s->ended = true;
            wake(s->channel);
            endedFn(s->channel);
            break;
        }
        round = 0;
    }
    s->finished = true;
}

} // namespace

PreviewPlayer::PreviewPlayer(QObject* parent) : QObject(parent) {}

PreviewPlayer::~PreviewPlayer() {
    disconnect(this, nullptr, nullptr, nullptr);
    release();
    endChannel(); // whatever is still queued for this player is stale now
    // Qt's sink handles events while it is destroyed: that happens while this player is whole.
    qDeleteAll(findChildren<QAudioSink*>(Qt::FindDirectChildrenOnly));
    reapDecoders(true);
    QCoreApplication::removePostedEvents(this);
}

quint32 PreviewPlayer::play(const QString& path) {
    release();
    reapDecoders(false);
    if (++lastChannel_ == 0)
        ++lastChannel_;
    channel_ = lastChannel_;
    path_ = path;
    format_ = {};
    state_ = State::Opening;
    pauseWhenOpen_ = false;
    session_ = std::make_shared<PreviewSession>(channel_, path);
    // Results come back through the event loop of this thread, and only for the channel that
    // is current by then.
    auto opened = [this](quint32 ch, bool ok) {
        QMetaObject::invokeMethod(
            this, [this, ch, ok] { onOpened(ch, ok); }, Qt::QueuedConnection);
    };
    auto wake = [this](quint32 ch) {
        QMetaObject::invokeMethod(
            this,
            [this, ch] {
                if (ch == channel_ && feed_ != nullptr)
                    Q_EMIT feed_->readyRead();
            },
            Qt::QueuedConnection);
    };
    auto endedFn = [this](quint32 ch) {
        QMetaObject::invokeMethod(
            this, [this, ch] { onDecoderEnded(ch); }, Qt::QueuedConnection);
    };
    decoders_.push_back({session_, std::thread(RunDecoder, session_, opened, wake, endedFn)});
    SetAudioError(kAudioOk);
    return channel_;
}

bool PreviewPlayer::pause() {
    switch (state_) {
    case State::Idle:
        SetAudioError(kAudioErrorHandle);
        return false;
    case State::Opening:
        pauseWhenOpen_ = true;
        break;
    case State::Playing:
        sink_->suspend();
        if (sink_->state() != QAudio::SuspendedState) {
            SetAudioError(kAudioErrorNotPlaying);
            return false;
        }
        state_ = State::Paused;
        break;
    case State::Paused:
    case State::Halted:
        SetAudioError(kAudioErrorNotPlaying);
        return false;
    }
    SetAudioError(kAudioOk);
    return true;
}

bool PreviewPlayer::resume() {
    switch (state_) {
    case State::Idle:
        SetAudioError(kAudioErrorHandle);
        return false;
    case State::Opening:
        pauseWhenOpen_ = false;
        break;
    case State::Playing:
        break;
    case State::Paused:
        sink_->resume();
        if (sink_->state() == QAudio::StoppedState || sink_->state() == QAudio::SuspendedState) {
            SetAudioError(kAudioErrorDriver);
            return false;
        }
        state_ = State::Playing;
        break;
    case State::Halted:
        // The sound server may be back since the sink last refused.
        if (!startSink())
            return false;
        state_ = State::Playing;
        break;
    }
    SetAudioError(kAudioOk);
    return true;
}

bool PreviewPlayer::stop() {
    if (state_ == State::Idle) {
        SetAudioError(kAudioErrorHandle);
        return false;
    }
    release();
    endChannel();
    SetAudioError(kAudioOk);
    return true;
}

qint64 PreviewPlayer::processedUSecs() const {
    return sink_ != nullptr ? sink_->processedUSecs() : 0;
}

void PreviewPlayer::onOpened(quint32 ch, bool ok) {
    if (ch != channel_ || state_ != State::Opening)
        return;
    if (!ok) {
        release();
        endChannel();
        Q_EMIT ended(ch);
        return;
    }
    {
        std::lock_guard lock(session_->mutex);
        format_ = session_->info;
    }
    if (!startSink()) {
        state_ = State::Halted;
        Q_EMIT failed(ch, AudioErrorGetCode());
        return;
    }
    state_ = State::Playing;
    if (pauseWhenOpen_) {
        pauseWhenOpen_ = false;
        pause();
    }
}

void PreviewPlayer::onDecoderEnded(quint32 ch) {
    if (ch != channel_)
        return;
    // What is still in the ring is dropped: a file that can no longer be read ends quietly.
    release();
    endChannel();
    Q_EMIT ended(ch);
}

void PreviewPlayer::onSinkState(quint32 ch) {
    if (ch != channel_ || sink_ == nullptr)
        return;
    if (state_ != State::Playing && state_ != State::Paused)
        return;
    // Stopped with an error and not by us: the sound server went away.
    if (sink_->state() != QAudio::StoppedState || sink_->error() == QAudio::NoError)
        return;
    // Over first, so the error box finds the preview ended.
    release();
    endChannel();
    Q_EMIT ended(ch);
    Q_EMIT failed(ch, kAudioErrorDriver);
}

bool PreviewPlayer::startSink() {
    // A stream for a device the server no longer has would wait for it for ever: take the
    // server's current default then.
    QAudioDevice device = AudioOutputDevice();
    if (device.isNull() || !QMediaDevices::audioOutputs().contains(device))
        device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        SetAudioError(kAudioErrorDriver);
        return false;
    }
    QAudioFormat format;
    format.setSampleRate(format_.sampleRate);
    format.setChannelCount(format_.channels);
    format.setSampleFormat(format_.eightBit ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    const int frameBytes = std::max(1, frameBytesOf(format_));

    auto* sink = new QAudioSink(device, format, this);
    sink->setBufferSize(static_cast<qsizetype>(bytesFor(format_, kServerMs, frameBytes)));
    auto* feed = new PreviewFeed(session_, this, sink);
    feed->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    sink->start(feed);
    if (sink->error() != QAudio::NoError || sink->state() == QAudio::StoppedState) {
        sink->stop();
        sink->deleteLater();
        SetAudioError(kAudioErrorDriver);
        return false;
    }
    if (sink_ != nullptr) {
        // A halted channel that starts again replaces the sink that refused.
        sink_->disconnect(this);
        sink_->deleteLater();
    }
    sink_ = sink;
    feed_ = feed;
    const quint32 ch = channel_;
    // Queued: the sink reports from inside its own calls, and the handler may delete it.
    connect(
        sink, &QAudioSink::stateChanged, this, [this, ch] { onSinkState(ch); },
        Qt::QueuedConnection);
    SetAudioError(kAudioOk);
    return true;
}

void PreviewPlayer::release() {
    if (session_) {
        {
            std::lock_guard lock(session_->mutex);
            session_->stop = true;
        }
        session_->space.notify_all();
        session_.reset();
    }
    if (sink_ != nullptr) {
        QAudioSink* sink = sink_;
        sink_ = nullptr;
        feed_ = nullptr;
        sink->disconnect(this);
        // Stopping takes the stream off the server at once; the object goes from the event
        // loop, as Qt's sink handles events while it is destroyed.
        sink->stop();
        sink->deleteLater();
    }
}

void PreviewPlayer::endChannel() {
    channel_ = 0;
    state_ = State::Idle;
    pauseWhenOpen_ = false;
    format_ = {};
}

void PreviewPlayer::reapDecoders(bool all) {
    for (auto it = decoders_.begin(); it != decoders_.end();) {
        if (all) {
            {
                std::lock_guard lock(it->session->mutex);
                it->session->stop = true;
            }
            it->session->space.notify_all();
        }
        if (all || it->session->finished.load()) {
            it->thread.join();
            it = decoders_.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace kv
