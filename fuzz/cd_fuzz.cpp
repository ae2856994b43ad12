// What the disc code reads itself: a CUE sheet and the layout of its data files, a mount
// table, a track's path.
#include "FuzzSupport.h"

#include "engine/CdSource.h"
#include "engine/CueImage.h"

#include <QDir>

#include <unistd.h>

namespace {

// Every track lies where its file can hold it, in rising order.
void checkLayout(const kv::CueSheet& sheet, const std::vector<std::int64_t>& sizes) {
    const std::vector<kv::CueTrackExtent> out = kv::LayOutCueImage(sheet, sizes);
    KV_FUZZ_CHECK(out.size() == sheet.tracks.size());
    for (size_t i = 0; i < out.size(); ++i) {
        const kv::CueTrackExtent& e = out[i];
        const std::int64_t size = sizes[static_cast<size_t>(e.file)];
        KV_FUZZ_CHECK(e.number == sheet.tracks[i].number && e.offset >= 0);
        if (!e.readable)
            continue;
        KV_FUZZ_CHECK(e.offset < size && e.sectors > 0 && e.present > 0);
        KV_FUZZ_CHECK(e.present <= e.sectors * 2352);
        KV_FUZZ_CHECK(e.offset + (e.sectors - 1) * e.sectorBytes < size);
        if (i > 0 && out[i - 1].file == e.file)
            KV_FUZZ_CHECK(out[i - 1].offset <= e.offset);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const std::optional<kv::CueSheet> sheet = kv::ParseCueSheet(bytes)) {
        KV_FUZZ_CHECK(!sheet->tracks.empty() && !sheet->files.empty());
        int previous = 0;
        for (const kv::CueSheetTrack& t : sheet->tracks) {
            KV_FUZZ_CHECK(t.number > previous && t.number <= 99 && t.begin <= t.start);
            KV_FUZZ_CHECK(t.file >= 0 && static_cast<size_t>(t.file) < sheet->files.size());
            KV_FUZZ_CHECK(t.sectorBytes >= 2048 && t.sectorBytes <= 2448);
            previous = t.number;
        }
        const size_t files = sheet->files.size();
        checkLayout(*sheet, std::vector<std::int64_t>(files, 0));
        checkLayout(*sheet, std::vector<std::int64_t>(files, std::int64_t{1} << 40));
        std::vector<std::int64_t> uneven;
        for (size_t i = 0; i < files; ++i)
            uneven.push_back(static_cast<std::int64_t>((i + 1) * size * 997 + 3));
        checkLayout(*sheet, uneven);
    }

    // Read from a file, the sheet's data may lie only in its own folder.
    const QString cue = kvfuzz::writeScratch(QStringLiteral("disc.cue"), data, size);
    if (size <= 1024 * 1024)
        KV_FUZZ_CHECK(kv::IsCueImageSheet(cue) == kv::ParseCueSheet(bytes).has_value());
    if (const std::optional<kv::OpenedCueImage> image = kv::OpenCueImage(cue)) {
        const QByteArray inside = QFile::encodeName(QDir(kvfuzz::scratch()).canonicalPath()) + '/';
        for (const kv::UniqueFd& fd : image->files) {
            char link[4096];
            const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd.get());
            const ssize_t n = ::readlink(proc.constData(), link, sizeof link);
            KV_FUZZ_CHECK(n > 0 && QByteArray(link, static_cast<qsizetype>(n)).startsWith(inside));
        }
    }

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
