#include "engine/Mp3Gapless.h"

#include "engine/UserFile.h"

#include <cstring>

namespace kv {

namespace {
quint32 be32(const unsigned char* p) {
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}
} // namespace

std::optional<Mp3Gapless> ReadMp3Gapless(const QString& path) {
    const std::shared_ptr<UserFile> file = UserFile::open(path);
    if (!file)
        return std::nullopt;
    return ReadMp3Gapless(*file);
}

std::optional<Mp3Gapless> ReadMp3Gapless(const UserFile& file) {
    qint64 start = 0;
    const QByteArray head = file.readAt(0, 10);
    if (head.size() == 10 && head.startsWith("ID3")) {
        const auto* h = reinterpret_cast<const unsigned char*>(head.constData());
        const qint64 size = (qint64(h[6] & 0x7F) << 21) | ((h[7] & 0x7F) << 14) |
                            ((h[8] & 0x7F) << 7) | (h[9] & 0x7F);
        start = 10 + size + ((h[5] & 0x10) ? 10 : 0);
    }
    // The first frame: header, side information, then the tag.
    const QByteArray frame = file.readAt(start, 512);
    if (frame.size() < 200)
        return std::nullopt;
    const auto* f = reinterpret_cast<const unsigned char*>(frame.constData());
    if (f[0] != 0xFF || (f[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (f[1] >> 3) & 3; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layer = (f[1] >> 1) & 3;   // 1 layer III
    if (version == 1 || layer != 1)
        return std::nullopt;
    const bool mono = ((f[3] >> 6) & 3) == 3;
    const bool mpeg1 = version == 3;
    const int sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    int at = 4 + sideInfo;
    if (at + 120 + 24 > frame.size())
        return std::nullopt;
    if (std::memcmp(f + at, "Xing", 4) != 0 && std::memcmp(f + at, "Info", 4) != 0)
        return std::nullopt;
    const quint32 flags = be32(f + at + 4);
    at += 8;
    if ((flags & 1) == 0)
        return std::nullopt;
    Mp3Gapless g;
    g.frames = be32(f + at);
    g.samplesPerFrame = mpeg1 ? 1152 : 576;
    at += 4;
    if (flags & 2)
        at += 4;
    if (flags & 4)
        at += 100;
    if (flags & 8)
        at += 4;
    if (at + 24 > frame.size())
        return std::nullopt;
    // Encoders that write the LAME layout: LAME itself and FFmpeg's own muxer.
    if (std::memcmp(f + at, "LAME", 4) != 0 && std::memcmp(f + at, "Lavf", 4) != 0 &&
        std::memcmp(f + at, "Lavc", 4) != 0)
        return std::nullopt;
    const unsigned char* d = f + at + 21;
    g.delay = (d[0] << 4) | (d[1] >> 4);
    g.padding = ((d[1] & 0x0F) << 8) | d[2];
    if (g.frames <= 0 || g.samples() <= 0)
        return std::nullopt;
    return g;
}

} // namespace kv
