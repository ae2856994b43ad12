// The WAVE header's stated data size on arbitrary files.
#include "FuzzSupport.h"

#include "engine/WavDataSize.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = kvfuzz::writeScratch(QStringLiteral("song.wav"), data, size);
    if (const std::optional<std::uint64_t> bytes = kv::ReadWavDataSize(path)) {
        const bool rf64 = size >= 4 && std::memcmp(data, "RF64", 4) == 0;
        KV_FUZZ_CHECK(*bytes > 0 && (rf64 || *bytes < 0x7FFFF000u));
    }
    return 0;
}
