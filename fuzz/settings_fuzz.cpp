// The settings file reader on arbitrary bytes. What it reads must survive a save unchanged,
// and a value set by the program must read back exactly, whatever characters it holds.
#include "FuzzSupport.h"

#include "settings/SettingsFile.h"

#include <fuzzer/FuzzedDataProvider.h>

using kv::SettingsFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const QString value = QString::fromStdString(in.ConsumeRandomLengthString(256));
    const std::vector<std::uint8_t> body = in.ConsumeRemainingBytes<std::uint8_t>();
    const QString path =
        kvfuzz::writeScratch(QStringLiteral("settings.ini"), body.data(), body.size());

    bool readable = false;
    SettingsFile file = SettingsFile::read(path, &readable);
    KV_FUZZ_CHECK(readable);
    const QByteArray first = file.toBytes();

    const QString saved = kvfuzz::scratch() + QStringLiteral("/saved.ini");
    KV_FUZZ_CHECK(file.write(saved));
    KV_FUZZ_CHECK(SettingsFile::read(saved).toBytes() == first);

    const QString section = QStringLiteral("HKEY_CURRENT_USER\\Software\\Fuzz\\Settings");
    file.setValue(section, QStringLiteral("txtOutPath"), value);
    KV_FUZZ_CHECK(file.write(saved));
    const SettingsFile again = SettingsFile::read(saved);
    KV_FUZZ_CHECK(again.value(section, QStringLiteral("txtOutPath")) == value);
    return 0;
}
