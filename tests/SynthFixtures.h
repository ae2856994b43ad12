#pragma once

#include <QByteArray>

namespace kvtest {

// A four-channel ProTracker module: one looped square-wave sample played on the first row of
// `patterns` copies of one pattern (speed 6, tempo 125: 7.68 seconds a pattern).
QByteArray MakeProTrackerModule(int patterns = 1);
inline constexpr double kModuleSecondsPerPattern = 7.68;

// A format-1 MIDI file of two tracks with a tempo change and running status; it plays
// 1.75 seconds (two quarters at 120 BPM, three at 240 BPM, division 480).
QByteArray MakeMidiFile();
inline constexpr double kMidiFileSeconds = 1.75;

} // namespace kvtest
