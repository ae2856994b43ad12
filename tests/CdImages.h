#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace kvtest {

// One track of a test disc: audio holds 16-bit stereo PCM (2352 bytes a sector), a data track
// raw sectors of its mode. The bytes go into the data file as they are.
struct CdImageTrack {
    CdImageTrack(bool audio, QByteArray bytes, QByteArray mode = {}, QByteArray gap = {},
                 QString file = {}, bool motorola = false, QByteArray lines = {})
        : audio(audio), bytes(std::move(bytes)), mode(std::move(mode)), gap(std::move(gap)),
          file(std::move(file)), motorola(motorola), lines(std::move(lines)) {}
    bool audio;
    QByteArray bytes;
    QByteArray mode;  // as the sheet names it; empty: AUDIO or MODE1/2352
    QByteArray gap;   // written before the track's INDEX 01, from its INDEX 00 on
    QString file;     // starts a data file of this name in the sheet's folder
    bool motorola;    // that file holds big-endian samples
    QByteArray lines; // more of the track's lines, such as "PREGAP 00:02:00"
};

// `sectors` of a stereo tone, a different pitch on each channel, so a swapped byte order or a
// misplaced sector shows.
QByteArray CdTone(int sectors, double hz);

// Writes the BIN/CUE image `cue` and its data file `bin` (both full paths, one folder); every
// track starts at its INDEX 01 in the BINARY file `bin` or its own `file`. The sheet begins
// with `head`. Returns the sheet's path.
QString WriteCdImage(const QString& cue, const QString& bin,
                     const std::vector<CdImageTrack>& tracks, const QByteArray& head = {});

} // namespace kvtest
