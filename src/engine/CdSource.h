#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kv {

// A CD track is named by its disc and its number: "<drive or image>/TrackNN.cda", for example
// "/dev/sr0/Track03.cda" or "/home/u/album.cue/Track03.cda".
struct CdTrackRef {
    QString source;
    int track = 0;
};
// Nothing unless the last component is "Track" with a number from 1 to 99 and ".cda" (any
// case) and something comes before it.
std::optional<CdTrackRef> ParseCdTrackPath(const QString& path);
QString MakeCdTrackPath(const QString& source, int track);

// A block device that is a CD drive (one we may not open counts too, so the user learns why).
bool IsCdDrive(const QString& path);
// False only when the drive says for sure that it holds no disc (empty or open tray).
bool DriveHasDisc(const QString& device);

// The device mounted on `folder` according to a /proc/self/mountinfo text; empty when none.
QString MountedDevice(const QByteArray& mountinfo, const QString& folder);

// The disc a path leads to: a CUE image (a sheet whose files are all BINARY, CueImage.h), a
// CD drive, the folder a drive's disc is mounted on, or the desktop's folder of an audio CD
// ("cdda:host=sr0"). Empty for anything else.
QString CdSourceOf(const QString& path);

} // namespace kv
