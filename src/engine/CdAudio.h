#pragma once

#include "engine/DecodeStream.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace kv {

// One entry of a disc's table of contents. Audio sectors hold 2352 bytes: 588 frames of
// 44.1 kHz 16-bit stereo.
struct CdTrackToc {
    int number = 0;
    bool audio = false;
    std::int64_t firstSector = 0; // on a drive's disc; an image's tracks count from their file
    std::int64_t sectors = 0;
    // The PCM the track gives: whole sectors on a drive; on an image what its file holds, a
    // last partial sector included.
    std::int64_t bytes = 0;
    // False when the table places the track outside the disc (a damaged or cut image).
    bool readable = false;
};

enum class CdDiscState { Ready, NoDisc, Unreadable };

struct CdToc {
    CdDiscState state = CdDiscState::Unreadable;
    int code = 0; // the engine's error code when not Ready: 11, 12 or 13
    std::vector<CdTrackToc> tracks;
};

// The table of contents of a drive's disc or of a BIN/CUE image. Reads no audio.
CdToc ReadCdToc(const QString& source);

// A CD track path ("<drive or image>/TrackNN.cda") as a stream of 44.1 kHz 16-bit stereo PCM,
// read from a drive through cd-paranoia, from an image's data file as its sheet lays it out.
// Opening reads the table of contents only; the audio is read from the first read on, and
// only one stream reads a drive or image at a time: a later one waits for the earlier to end,
// up to CdReaderWaitMs(), and then ends with error 30. Error codes: 11 the drive or image
// cannot be opened (an image's sheet is refused), 12 no CD back-end, 13 no disc, 15 no such
// track or its audio cannot be read, 28 a data track.
std::unique_ptr<DecodeStream> OpenCdTrackStream(const QString& path);

// How long a reader waits for a drive another reader holds (5 seconds unless changed).
int CdReaderWaitMs();
void SetCdReaderWaitMs(int ms);
// Readers waiting for the drive or image `source` at this moment.
int CdReadersWaiting(const QString& source);

// Keeps libcdio's warnings off the terminal.
void QuietCdioLog();

} // namespace kv
