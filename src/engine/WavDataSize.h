#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace kv {

class UserFile;

// The size of the samples a WAVE file's header states: the "data" chunk's size, or the RF64
// form's 64-bit one. Nothing when the header states none (0, or a size from 0x7FFFF000 up, as
// writers that cannot seek leave it) or is not a WAVE header. FFmpeg measures a file shorter
// than this by what is there; this is what the file should hold.
std::optional<std::uint64_t> ReadWavDataSize(const UserFile& file);
std::optional<std::uint64_t> ReadWavDataSize(const QString& path);

} // namespace kv
