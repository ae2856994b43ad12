#pragma once

#include "engine/DecodeStream.h"

#include <memory>

namespace kv {

// Standard MIDI files rendered by FluidSynth with a General MIDI soundfont, 44100 Hz stereo.
// The length is the file's own play time; error codes 2 unreadable, 6 not a MIDI file (or the
// options' cancel or deadline came while it was read).
std::unique_ptr<DecodeStream> OpenMidiStream(const QString& path, const QString& soundFont,
                                             const StreamOpenOptions& options = {});

// Keeps FluidSynth from writing its own diagnostics to the terminal.
void QuietFluidSynthLog();

} // namespace kv
