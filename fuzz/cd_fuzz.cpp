// What the disc code reads itself: a CUE sheet's data file, a mount table, a track's path.
#include "FuzzSupport.h"

#include "engine/CdSource.h"

#include <QFileInfo>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString cue = kvfuzz::writeScratch(QStringLiteral("disc.cue"), data, size);
    if (const std::optional<QString> bin = kv::CueImageData(cue))
        KV_FUZZ_CHECK(!bin->isEmpty() && QFileInfo(*bin).isAbsolute());

    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    (void)kv::MountedDevice(bytes, QStringLiteral("/media/cdrom"));

    const QString path = QString::fromUtf8(bytes);
    if (const std::optional<kv::CdTrackRef> ref = kv::ParseCdTrackPath(path)) {
        KV_FUZZ_CHECK(ref->track >= 1 && ref->track <= 99 && !ref->source.isEmpty());
        const std::optional<kv::CdTrackRef> back =
            kv::ParseCdTrackPath(kv::MakeCdTrackPath(ref->source, ref->track));
        KV_FUZZ_CHECK(back && back->source == ref->source && back->track == ref->track);
    }
    return 0;
}
