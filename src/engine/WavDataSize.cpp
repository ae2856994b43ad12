#include "engine/WavDataSize.h"

#include "engine/UserFile.h"

#include <QtEndian>

namespace kv {

namespace {
constexpr std::uint64_t kUnknownFrom = 0x7FFFF000u;
} // namespace

std::optional<std::uint64_t> ReadWavDataSize(const UserFile& file) {
    const QByteArray head = file.readAt(0, 12);
    const bool rf64 = head.startsWith("RF64");
    if (head.size() < 12 || !(head.startsWith("RIFF") || rf64) || head.mid(8, 4) != "WAVE")
        return std::nullopt;
    std::uint64_t rf64Data = 0;
    std::int64_t at = 12;
    // The chunks before the samples, each a name and a 32-bit size, padded to an even length.
    for (int chunk = 0; chunk < 1024; ++chunk) {
        const QByteArray h = file.readAt(at, 8);
        if (h.size() < 8)
            return std::nullopt;
        const std::uint32_t size = qFromLittleEndian<quint32>(h.constData() + 4);
        if (h.startsWith("data")) {
            const std::uint64_t stated = rf64 && size == 0xFFFFFFFFu ? rf64Data : size;
            // Writers that cannot seek leave 0, 0xFFFFFFFF or, as sox does, 0x7FFFF000.
            if (stated == 0 || (!rf64 && stated >= kUnknownFrom))
                return std::nullopt;
            return stated;
        }
        if (rf64 && h.startsWith("ds64") && size >= 16) {
            const QByteArray ds64 = file.readAt(at + 8, 16);
            if (ds64.size() < 16)
                return std::nullopt;
            rf64Data = qFromLittleEndian<quint64>(ds64.constData() + 8);
        }
        at += 8 + static_cast<std::int64_t>(size) + (size & 1);
    }
    return std::nullopt;
}

std::optional<std::uint64_t> ReadWavDataSize(const QString& path) {
    const std::shared_ptr<UserFile> file = UserFile::open(path);
    return file ? ReadWavDataSize(*file) : std::nullopt;
}

} // namespace kv
