#include "convert/SourceWatch.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

#include <fcntl.h>
#include <sys/stat.h>

namespace kv {

SourceState SourceStateOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return {true, static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

Converter WatchingSource(Converter converter) {
    return [converter = std::move(converter)](const QString& source, const QString& output,
                                              const ConversionOptions& options,
                                              ConversionControl& control) {
        const SourceState before = SourceStateOf(source);
        // The claimed file, held open: "the output" is this file, not whatever the name leads
        // to later, and a file made again in its place cannot get its inode number and pass
        // for it.
        HeldFile held = HoldOutput(output);
        // Without a claim in hand, an empty file at the name is the claim: a converter that
        // puts a new file in its place (StagedOutput) hands that one on.
        std::optional<OutputName> own;
        std::optional<ClaimInHand> inHand;
        struct stat st {};
        if (!ClaimInHandFile(output).valid() && held.valid() && ::fstat(held.get(), &st) == 0 &&
            S_ISREG(st.st_mode) && st.st_size == 0) {
            own = OutputName{OutputName::Outcome::Ok, output, {},
                             {static_cast<std::uint64_t>(st.st_dev),
                              static_cast<std::uint64_t>(st.st_ino)},
                             std::make_shared<const HeldFile>(
                                 HeldFile(::fcntl(held.get(), F_DUPFD_CLOEXEC, 0)))};
            inHand.emplace(*own);
        }
        const FileOutcome outcome = converter(source, output, options, control);
        if (HeldFile now = ClaimInHandFile(output); now.valid())
            held = std::move(now);
        if (outcome != FileOutcome::Complete)
            return outcome;
        // Written through an open file, the output outlives a folder removed meanwhile, out of
        // the user's reach, and the name may lead to another run's file by now: that one stays.
        if (held.valid() ? !LeadsTo(output, held.get()) : !QFileInfo(output).isFile()) {
            control.reportError(
                output + QStringLiteral(": the output folder was removed while it was written"));
            return FileOutcome::Error;
        }
        if (!before.valid || SourceStateOf(source) == before)
            return outcome;
        // Nothing was there at the start: the file is the one the converter just made.
        if (!held.valid())
            held = HoldOutput(output);
        RemoveOwnOutput(held.get(), output);
        control.reportError(source + QStringLiteral(": the file changed while it was converted"));
        return FileOutcome::Error;
    };
}

} // namespace kv
