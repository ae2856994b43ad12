#pragma once

#include <QString>

#include <optional>

namespace kv {

// Frame count and encoder delay/padding from the Xing/Info frame of an MP3 and its LAME
// extension, which FFmpeg's demuxer uses to trim the decoded audio.
struct Mp3Gapless {
    qint64 frames = 0;
    int samplesPerFrame = 0;
    int delay = 0;
    int padding = 0;
    qint64 samples() const { return frames * samplesPerFrame - delay - padding; }
};

// Nothing when the file has no Xing/Info frame with a frame count and a LAME-style tag.
std::optional<Mp3Gapless> ReadMp3Gapless(const QString& path);
class UserFile;
std::optional<Mp3Gapless> ReadMp3Gapless(const UserFile& file);

} // namespace kv
