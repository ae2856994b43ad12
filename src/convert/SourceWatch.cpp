#include "convert/SourceWatch.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

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
        // Held open, the claimed file keeps its inode number to itself: a file made again in
        // its place after the folder went cannot get the same number and pass for it.
        const int held = ::open(QFile::encodeName(output).constData(),
                                O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        const std::shared_ptr<void> release(nullptr, [held](void*) {
            if (held >= 0)
                ::close(held);
        });
        const SourceState claimed = SourceStateOf(output);
        const FileOutcome outcome = converter(source, output, options, control);
        if (outcome != FileOutcome::Complete)
            return outcome;
        // Written through an open file, the output outlives a folder removed meanwhile, out of
        // the user's reach; an encoder that opens it later may even make the folder again.
        // Either way the file is not the one the batch claimed.
        const SourceState made = SourceStateOf(output);
        if (!made.valid ||
            (claimed.valid && (made.device != claimed.device || made.inode != claimed.inode))) {
            if (made.valid)
                QFile::remove(output);
            control.reportError(
                output + QStringLiteral(": the output folder was removed while it was written"));
            return FileOutcome::Error;
        }
        if (!before.valid || SourceStateOf(source) == before)
            return outcome;
        QFile::remove(output);
        control.reportError(source + QStringLiteral(": the file changed while it was converted"));
        return FileOutcome::Error;
    };
}

} // namespace kv
