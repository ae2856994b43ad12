// The MIDI length reader on arbitrary bytes: a length when there is one is a real number of
// seconds.
#include "FuzzSupport.h"

#include "engine/MidiFileLength.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<double> seconds = kv::MidiFileSeconds(bytes);
    if (seconds)
        KV_FUZZ_CHECK(std::isfinite(*seconds) && *seconds >= 0.0);
    return 0;
}
