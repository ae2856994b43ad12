#pragma once

#include <QByteArray>

#include <optional>

namespace kv {

// Play time in seconds of a Standard MIDI File, from its tempo map and the last event of its
// longest track; nothing when the data is not a well-formed MIDI file.
std::optional<double> MidiFileSeconds(const QByteArray& data);

} // namespace kv
