#pragma once

#include "settings/RegularFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace kv {

// A CUE sheet that describes a disc image: every FILE is BINARY (little-endian samples) or
// MOTOROLA (big-endian), each followed by its tracks. Positions count sectors (75 a second)
// from the start of the track's own file; PREGAP and POSTGAP are not in any file.
struct CueSheetTrack {
    int number = 0;
    bool audio = false;
    int sectorBytes = 2352; // as the mode stores it: AUDIO 2352, MODE1/2048 2048, CDG 2448...
    int file = 0;           // into CueSheet::files
    std::int64_t begin = 0; // its first index: INDEX 00 when it has one, else INDEX 01
    std::int64_t start = 0; // INDEX 01
};

struct CueSheetFile {
    QByteArray name; // as the sheet writes it
    bool bigEndian = false;
};

struct CueSheet {
    std::vector<CueSheetFile> files;
    std::vector<CueSheetTrack> tracks; // in the sheet's order, numbers rising
};

// Nothing for a sheet of a rip (WAVE, MP3...), one without tracks or one that does not hold
// together (a mode, a time or an order that no disc has). A leading byte-order mark is skipped.
std::optional<CueSheet> ParseCueSheet(QByteArrayView text);

// Where a track's audio lies in its file, given the sizes of the files. A track runs from its
// INDEX 01 to the next track of its file, whose INDEX 00 gap it takes in as a drive would
// read it when both are audio of one sector size; the last track of a file runs to the file's
// end, a last partial sector included.
struct CueTrackExtent {
    int number = 0;
    bool audio = false;
    int file = 0;
    int sectorBytes = 2352;
    std::int64_t offset = 0;  // of its INDEX 01 in the file
    std::int64_t present = 0; // bytes of audio the file holds: 2352 of every sector
    std::int64_t sectors = 0; // begun sectors
    bool readable = false;    // false when the file ends before the track does
};
std::vector<CueTrackExtent> LayOutCueImage(const CueSheet& sheet,
                                           const std::vector<std::int64_t>& fileBytes);

// A descriptor closed on every path.
// The sheet's text: a regular file of at most 1 MiB, opened without waiting on a pipe.
std::optional<QByteArray> ReadCueSheetFile(const QString& cuePath);

// A sheet whose text describes a disc image (its data files are not looked at).
bool IsCueImageSheet(const QString& cuePath);

// The data files that a disc image's sheet names, as paths from the sheet's folder with "."
// and ".." resolved (links are not followed); nothing when the sheet is not an image.
QStringList CueImageDataFiles(const QString& cuePath);

// An image opened for reading: the sheet and a descriptor of each data file. Every data file
// must be a regular file in the sheet's folder or below it once links and ".." are resolved.
struct OpenedCueImage {
    CueSheet sheet;
    std::vector<UniqueFd> files;
    std::vector<std::int64_t> sizes;
    std::vector<CueTrackExtent> tracks;
};
std::optional<OpenedCueImage> OpenCueImage(const QString& cuePath);

// Reads `bytes` bytes at `offset`; false when the file ends first or the read fails.
bool ReadFully(int fd, char* out, std::int64_t bytes, std::int64_t offset);

} // namespace kv
