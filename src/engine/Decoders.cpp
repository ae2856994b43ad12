#include "engine/Decoders.h"

#include "engine/AudioError.h"
#include "engine/CdSource.h"
#include "engine/FfmpegStream.h"
#ifdef KV_HAVE_CDIO
#include "engine/CdAudio.h"
#endif
#include "settings/NativePath.h"
#ifdef KV_HAVE_OPENMPT
#include "engine/ModuleStream.h"
#endif
#ifdef KV_HAVE_FLUIDSYNTH
#include "engine/MidiStream.h"
#endif

#include <QFileInfo>
#include <QMutex>

#include <functional>
#include <vector>

namespace kv {

namespace {

struct Backend {
    QString name;
    ChannelKind kind;
    std::function<std::unique_ptr<DecodeStream>(const QString&, const StreamOpenOptions&)> open;
};

QMutex registryMutex;
std::vector<Backend> backends;
bool registered = false;
QStringList soundFonts{QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"),
                       QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2")};

std::vector<Backend> backendsOf(ChannelKind kind, bool& any) {
    QMutexLocker lock(&registryMutex);
    any = registered;
    std::vector<Backend> out;
    for (const Backend& b : backends) {
        if (b.kind == kind)
            out.push_back(b);
    }
    return out;
}

std::unique_ptr<DecodeStream> openWith(ChannelKind kind, const QString& path,
                                       const StreamOpenOptions& options) {
    bool any = false;
    const std::vector<Backend> list = backendsOf(kind, any);
    if (!any) {
        SetAudioError(kAudioErrorInit);
        return nullptr;
    }
    // A CD track is no file: its path names a disc and a track on it.
    if (ParseCdTrackPath(path)) {
#ifdef KV_HAVE_CDIO
        if (kind == ChannelKind::Stream)
            return OpenCdTrackStream(path);
        SetAudioError(kAudioErrorFormat);
#else
        SetAudioError(kAudioErrorCdNotStarted);
#endif
        return nullptr;
    }
    const NativeFileInfo fi = StatNative(path);
    if (path.isEmpty() || !fi.isFile || !fi.readable) {
        SetAudioError(kAudioErrorFileOpen);
        return nullptr;
    }
    // The first back-end that takes the file wins; when none does, the most telling code of
    // their refusals is kept ("not a module at all" says less than "a module without music").
    int code = kAudioErrorFormat;
    for (const Backend& b : list) {
        // A cancelled open asks no further back-end.
        if (options.cancel != nullptr && options.cancel->load())
            break;
        if (auto stream = b.open(path, options))
            return stream;
        if (AudioErrorGetCode() != kAudioErrorFormat)
            code = AudioErrorGetCode();
    }
    SetAudioError(code);
    return nullptr;
}

} // namespace

void RegisterDecoders() {
    QMutexLocker lock(&registryMutex);
    if (registered)
        return;
    registered = true;
    backends.clear();
    QuietFfmpegLog();
#ifdef KV_HAVE_CDIO
    QuietCdioLog();
#endif
    backends.push_back({QStringLiteral("FFmpeg"), ChannelKind::Stream, OpenFfmpegStream});
#ifdef KV_HAVE_OPENMPT
    // Modules and MIDI render in stereo, within any channel limit.
    backends.push_back({QStringLiteral("libopenmpt"), ChannelKind::Music,
                        [](const QString& path, const StreamOpenOptions& options) {
                            return OpenModuleStream(path, options);
                        }});
#endif
#ifdef KV_HAVE_FLUIDSYNTH
    for (const QString& font : soundFonts) {
        const QFileInfo fi(font);
        if (fi.isFile() && fi.isReadable()) {
            QuietFluidSynthLog();
            const QString file = fi.absoluteFilePath();
            backends.push_back({QStringLiteral("FluidSynth"), ChannelKind::Stream,
                                [file](const QString& path, const StreamOpenOptions& options) {
                                    return OpenMidiStream(path, file, options);
                                }});
            break;
        }
    }
#endif
}

void UnregisterDecoders() {
    QMutexLocker lock(&registryMutex);
    backends.clear();
    registered = false;
}

QStringList RegisteredDecoders() {
    QMutexLocker lock(&registryMutex);
    QStringList names;
    for (const Backend& b : backends)
        names << b.name;
    return names;
}

QStringList MidiSoundFontCandidates() {
    QMutexLocker lock(&registryMutex);
    return soundFonts;
}

void SetMidiSoundFontCandidates(const QStringList& files) {
    QMutexLocker lock(&registryMutex);
    soundFonts = files;
}

std::unique_ptr<DecodeStream> OpenStreamUnicode(const QString& path,
                                                const StreamOpenOptions& options) {
    return openWith(ChannelKind::Stream, path, options);
}

std::unique_ptr<DecodeStream> LoadMusicUnicode(const QString& path,
                                               const StreamOpenOptions& options) {
    return openWith(ChannelKind::Music, path, options);
}

double BytesToSeconds(const DecodeStream* stream, std::int64_t bytes) {
    if (stream == nullptr) {
        SetAudioError(kAudioErrorHandle);
        return 0.0;
    }
    SetAudioError(kAudioOk);
    return stream->bytesToSeconds(bytes);
}

} // namespace kv
