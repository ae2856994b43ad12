#pragma once

#include "engine/DecodeStream.h"

#include <QObject>
#include <QString>

#include <memory>
#include <thread>
#include <vector>

class QAudioSink;

namespace kv {

struct PreviewSession;
class PreviewFeed;

// Plays one file at a time on the output device opened at start-up, from its beginning and in
// a loop. The file is opened and decoded on a thread of the player's own, at most about
// 200 ms ahead of the sound server (100 ms in the player, 100 ms in the server); the sink
// lives on the thread that made the player, which only copies decoded bytes to it, so a slow
// file, a soundfont to load or a large video never hold that thread up.
//
// Failures set the calling thread's engine error code (AudioErrorGetCode): 5 no channel,
// 24 not playing, 3 the sound server refused or went away.
class PreviewPlayer : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,    // no channel
        Opening, // the file is being opened; play and pause requests wait for it
        Playing,
        Paused,
        Halted, // opened, but the sink would not start; resume tries again
    };

    explicit PreviewPlayer(QObject* parent = nullptr);
    ~PreviewPlayer() override;

    // Starts `path`, stopping whatever played before, and returns the new channel (never 0).
    // A file no opener takes ends the channel without a word (ended).
    quint32 play(const QString& path);
    // False, with the error code set, when the channel cannot do it.
    bool pause();
    bool resume();
    // Stops and releases the channel; channel() is 0 afterwards.
    bool stop();

    quint32 channel() const { return channel_; }
    State state() const { return state_; }
    QString path() const { return path_; }
    // What the channel delivers, once it is open.
    StreamInfo format() const { return format_; }
    // Audio the sound server has played from the channel, in microseconds; 0 without a sink.
    qint64 processedUSecs() const;

Q_SIGNALS:
    // The first decoded audio of `channel` has gone to the sink.
    void audioStarted(quint32 channel);
    // Playing `channel` failed (the sink would not start, or the sound server went away);
    // `code` is numbered as the engine's error texts.
    void failed(quint32 channel, int code);
    // `channel` ended by itself: its file could not be opened (or no longer could, for the
    // next round of the loop), or the sound server went away. channel() is 0 afterwards.
    void ended(quint32 channel);

private:
    void onOpened(quint32 channel, bool ok);
    void onDecoderEnded(quint32 channel);
    void onSinkState(quint32 channel);
    bool startSink();
    // Stops the sink and the decoder of the current channel; the thread finishes by itself.
    void release();
    void reapDecoders(bool all);
    void endChannel();

    quint32 channel_ = 0;
    quint32 lastChannel_ = 0;
    State state_ = State::Idle;
    QString path_;
    StreamInfo format_;
    bool pauseWhenOpen_ = false;
    std::shared_ptr<PreviewSession> session_;
    QAudioSink* sink_ = nullptr;
    PreviewFeed* feed_ = nullptr; // the sink's source, a child of the sink
    // Decoder threads of this and earlier channels; an earlier one ends at its next block.
    struct Decoder {
        std::shared_ptr<PreviewSession> session;
        std::thread thread;
    };
    std::vector<Decoder> decoders_;
};

} // namespace kv
