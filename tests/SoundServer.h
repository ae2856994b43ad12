#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <vector>

namespace kvtest {

// This process's playback streams on the sound server the environment names, as
// `pactl list sink-inputs` shows them; empty when none or no server.
struct SinkInput {
    QString sampleFormat; // for example "s16le 2ch 44100Hz"
    bool corked = false;
};
std::vector<SinkInput> OwnSinkInputs();

// Waits until the default sink has played on for `ms` by its own clock: that much was recorded
// from its monitor. False when it could not be recorded.
bool SinkPlayedFor(int ms);

// A PulseAudio daemon with a null sink in a folder of one test's own, so killing it disturbs
// no other test. Its address stays the same across restarts.
class PrivateSoundServer {
public:
    ~PrivateSoundServer() { kill(); }
    // False when it did not come up and answer.
    bool start();
    // At once (SIGKILL), as a crashing server goes.
    void kill();
    QString address() const { return QStringLiteral("unix:") + dir_.filePath("native"); }

private:
    QTemporaryDir dir_;
    QProcess process_;
};

} // namespace kvtest
