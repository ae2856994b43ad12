#include "engine/MidiStream.h"

#include "engine/AudioError.h"
#include "engine/MidiFileLength.h"
#include "engine/UserFile.h"

#include <QFile>

#include <fluidsynth.h>

#include <cmath>
#include <cstring>

namespace kv {

namespace {

constexpr int kMidiRate = 44100;
constexpr qint64 kMaxMidiBytes = 64LL * 1024 * 1024;

struct SettingsFreer {
    void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
};
struct SynthFreer {
    void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
};
struct PlayerFreer {
    void operator()(fluid_player_t* p) const {
        fluid_player_stop(p);
        delete_fluid_player(p);
    }
};

class MidiStream final : public DecodeStream {
public:
    MidiStream() : DecodeStream(ChannelKind::Stream) {}

    int open(const QString& path, const QString& soundFont, const StreamOpenOptions& options) {
        const std::shared_ptr<UserFile> file = UserFile::open(path);
        if (!file)
            return kAudioErrorFileOpen;
        // Only a file that starts like a MIDI file is read whole.
        if (file->readAt(0, 4) != QByteArrayLiteral("MThd"))
            return kAudioErrorFormat;
        std::optional<QByteArray> data = file->readAll(kMaxMidiBytes, OpenLimit::from(options));
        if (!data)
            return kAudioErrorFormat;
        data_ = std::move(*data);
        const std::optional<double> seconds = MidiFileSeconds(data_);
        if (!seconds || !(*seconds > 0.0))
            return kAudioErrorFormat;
        soundFont_ = soundFont;
        info_.sampleRate = kMidiRate;
        info_.channels = 2;
        // The file's own play time, rendered exactly; notes still sounding at the end are cut.
        length_ = std::llround(*seconds * kMidiRate) * bytesPerFrame();
        exact_ = true;
        return kAudioOk;
    }

protected:
    std::int64_t decode(char* out, std::int64_t max) override {
        // The synthesizer is made on the first read, so measuring a file costs no soundfont load.
        if (!synth_ && !startSynth()) {
            failure_ = kAudioErrorNotAvailable;
            return 0;
        }
        const int frames = static_cast<int>(std::min<std::int64_t>(max / bytesPerFrame(), 8192));
        if (frames <= 0)
            return 0;
        if (fluid_synth_write_s16(synth_.get(), frames, out, 0, 2, out, 1, 2) != FLUID_OK)
            return 0;
        return static_cast<std::int64_t>(frames) * bytesPerFrame();
    }

private:
    bool startSynth() {
        settings_.reset(new_fluid_settings());
        if (!settings_)
            return false;
        fluid_settings_setnum(settings_.get(), "synth.sample-rate", kMidiRate);
        fluid_settings_setint(settings_.get(), "synth.lock-memory", 0);
        fluid_settings_setstr(settings_.get(), "player.timing-source", "sample");
        synth_.reset(new_fluid_synth(settings_.get()));
        if (!synth_ || fluid_synth_sfload(synth_.get(), QFile::encodeName(soundFont_).constData(),
                                          1) == FLUID_FAILED) {
            synth_.reset();
            return false;
        }
        player_.reset(new_fluid_player(synth_.get()));
        if (!player_ ||
            fluid_player_add_mem(player_.get(), data_.constData(),
                                 static_cast<size_t>(data_.size())) != FLUID_OK ||
            fluid_player_play(player_.get()) != FLUID_OK) {
            player_.reset();
            synth_.reset();
            return false;
        }
        return true;
    }

    QByteArray data_;
    QString soundFont_;
    // Declared in this order so the player goes before its synthesizer and its settings.
    std::unique_ptr<fluid_settings_t, SettingsFreer> settings_;
    std::unique_ptr<fluid_synth_t, SynthFreer> synth_;
    std::unique_ptr<fluid_player_t, PlayerFreer> player_;
};

} // namespace

void QuietFluidSynthLog() {
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        fluid_set_log_function(level, nullptr, nullptr);
}

std::unique_ptr<DecodeStream> OpenMidiStream(const QString& path, const QString& soundFont,
                                             const StreamOpenOptions& options) {
    auto stream = std::make_unique<MidiStream>();
    const int rc = stream->open(path, soundFont, options);
    SetAudioError(rc);
    if (rc != kAudioOk)
        return nullptr;
    return stream;
}

} // namespace kv
