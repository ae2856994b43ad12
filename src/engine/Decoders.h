#pragma once

#include "engine/DecodeStream.h"

#include <QStringList>

#include <memory>

namespace kv {

// The decoder back-ends, registered in a fixed order (FFmpeg, libopenmpt, FluidSynth); one
// whose library or data is missing is left out and only its formats are lost. Registering
// again changes nothing.
void RegisterDecoders();
void UnregisterDecoders();
// Names of the registered back-ends, in order.
QStringList RegisteredDecoders();

// Soundfonts the MIDI back-end looks for, first found wins (tests change the list).
QStringList MidiSoundFontCandidates();
void SetMidiSoundFontCandidates(const QStringList& files);

// Opens a file as a stream through the stream back-ends (FFmpeg, then MIDI). Nothing on
// failure, with the thread's error code set: 2 unreadable, 6 no back-end decodes it,
// 8 no back-end registered.
std::unique_ptr<DecodeStream> OpenStreamUnicode(const QString& path,
                                                const StreamOpenOptions& options = {});
// Opens a tracker module; callers try it when OpenStreamUnicode fails. Of the options only
// the cancel flag counts: a module renders in stereo.
std::unique_ptr<DecodeStream> LoadMusicUnicode(const QString& path,
                                               const StreamOpenOptions& options = {});

// Seconds of a byte count of the stream's PCM; 0 with error 5 for no stream.
double BytesToSeconds(const DecodeStream* stream, std::int64_t bytes);

} // namespace kv
