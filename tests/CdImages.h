#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace kvtest {

// One track of a test disc: audio holds 16-bit stereo PCM of whole sectors (2352 bytes), a data
// track as many sectors of raw mode-1 bytes.
struct CdImageTrack {
    bool audio = true;
    QByteArray bytes;
};

// `sectors` of a stereo tone, a different pitch on each channel, so a swapped byte order or a
// misplaced sector shows.
QByteArray CdTone(int sectors, double hz);

// Writes the BIN/CUE image `cue` and its data file `bin` (both full paths, one folder); every
// track starts at its INDEX 01 in the one BINARY file. Returns the sheet's path.
QString WriteCdImage(const QString& cue, const QString& bin,
                     const std::vector<CdImageTrack>& tracks);

} // namespace kvtest
