// The language files' INI reader on arbitrary bytes, looked up with arbitrary names.
#include "FuzzSupport.h"

#include "lang/IniReader.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const QString section = QString::fromStdString(in.ConsumeRandomLengthString(64));
    const QString key = QString::fromStdString(in.ConsumeRandomLengthString(64));
    const std::vector<std::uint8_t> body = in.ConsumeRemainingBytes<std::uint8_t>();
    const QString path = kvfuzz::writeScratch(QStringLiteral("lang.ini"), body.data(), body.size());

    const QString fallback = QStringLiteral("\x01none");
    for (const auto& [s, k] :
         {std::pair{section, key}, std::pair{QStringLiteral("Language"), QStringLiteral("Name")}}) {
        const QString value = kv::ReadIniValue(path, s, k, fallback);
        KV_FUZZ_CHECK(value == fallback || value.size() <= kv::kMaxIniValueLength);
    }
    return 0;
}
