#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <vector>

namespace kvtest {

// A playback stream of this process as the sound server sees it (`pactl list sink-inputs`).
struct SinkInput {
    QString spec; // for example "s16le 2ch 44100Hz"
    bool corked = false;
};
// This process's streams on the server the environment names; empty when none or no server.
std::vector<SinkInput> OwnSinkInputs();

// A PulseAudio daemon of one test's own, with a null sink, in a folder of its own: killing it
// disturbs no other test. The address stays the same across restarts.
class PrivateSoundServer {
public:
    PrivateSoundServer();
    ~PrivateSoundServer();
    // Starts the daemon and waits until it answers; false when it did not.
    bool start();
    // Kills it at once (SIGKILL), as a crashing server would go.
    void kill();
    QString address() const;

private:
    QTemporaryDir dir_;
    QProcess process_;
};

} // namespace kvtest
