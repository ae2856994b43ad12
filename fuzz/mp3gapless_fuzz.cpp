// The MP3 gapless tag reader on arbitrary files.
#include "FuzzSupport.h"

#include "engine/Mp3Gapless.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = kvfuzz::writeScratch(QStringLiteral("song.mp3"), data, size);
    const std::optional<kv::Mp3Gapless> g = kv::ReadMp3Gapless(path);
    if (g) {
        KV_FUZZ_CHECK(g->frames > 0 && g->samples() > 0);
        KV_FUZZ_CHECK(g->samplesPerFrame == 1152 || g->samplesPerFrame == 576);
        KV_FUZZ_CHECK(g->delay >= 0 && g->delay < 4096 && g->padding >= 0 && g->padding < 4096);
    }
    return 0;
}
