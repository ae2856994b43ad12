#include "settings/RegularFile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace kv {
namespace {

FileStamp stampOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, static_cast<std::int64_t>(st.st_mtim.tv_sec),
            st.st_mtim.tv_nsec};
}

FileState stateOf(const struct stat& st, qint64 maxBytes, int* error) {
    if (!S_ISREG(st.st_mode)) {
        *error = S_ISDIR(st.st_mode) ? EISDIR : 0;
        return FileState::NotRegular;
    }
    return st.st_size > maxBytes ? FileState::TooLarge : FileState::Regular;
}

FileState failed(int err, int* error) {
    *error = err;
    return err == ENOENT || err == ENOTDIR ? FileState::Missing : FileState::Unreadable;
}

} // namespace

UniqueFd::~UniqueFd() {
    if (fd_ >= 0)
        ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& o) noexcept {
    if (this != &o) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = o.release();
    }
    return *this;
}

UniqueFd OpenRegularFile(const QByteArray& nativePath, struct stat* st, int extraFlags) {
    struct stat own {};
    struct stat& status = st != nullptr ? *st : own;
    // Without O_NONBLOCK the open of a FIFO waits for a writer; a regular file ignores it.
    UniqueFd fd(::open(nativePath.constData(),
                       O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | extraFlags));
    if (!fd.valid())
        return fd;
    if (::fstat(fd.get(), &status) != 0)
        return UniqueFd();
    if (!S_ISREG(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : ENODEV;
        return UniqueFd();
    }
    return fd;
}

RegularFileRead ReadRegularFile(const QString& path, qint64 maxBytes) {
    RegularFileRead r;
    struct stat st {};
    const UniqueFd fd = OpenRegularFile(QFile::encodeName(path), &st);
    if (!fd.valid()) {
        if (errno == EISDIR || errno == ENODEV) {
            r.state = FileState::NotRegular;
            r.error = errno == EISDIR ? EISDIR : 0;
        } else {
            r.state = failed(errno, &r.error);
        }
        return r;
    }
    r.state = stateOf(st, maxBytes, &r.error);
    if (r.state != FileState::Regular)
        return r;
    r.stamp = stampOf(st);
    // One byte past the limit shows a file that grew meanwhile.
    r.bytes.resize(static_cast<qsizetype>(std::min<qint64>(st.st_size + 1, maxBytes + 1)));
    qsizetype got = 0;
    while (true) {
        if (got == r.bytes.size()) {
            if (got > maxBytes) {
                r.bytes.clear();
                r.state = FileState::TooLarge;
                return r;
            }
            r.bytes.resize(std::min<qint64>(got * 2 + 4096, maxBytes + 1));
        }
        const ssize_t n = ::read(fd.get(), r.bytes.data() + got, r.bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            r.bytes.clear();
            r.state = failed(errno, &r.error);
            return r;
        }
        if (n == 0)
            break;
        got += n;
    }
    r.bytes.truncate(got);
    return r;
}

FileState StatRegularFile(const QString& path, qint64 maxBytes, FileStamp* stamp, int* error) {
    int ignored = 0;
    int& err = error ? *error : ignored;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return failed(errno, &err);
    const FileState state = stateOf(st, maxBytes, &err);
    if (stamp && state == FileState::Regular)
        *stamp = stampOf(st);
    return state;
}

bool StampMayStillChange(const FileStamp& stamp) {
    // Two seconds covers the coarsest time stamps of the file systems in use (FAT).
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return stamp.mtimeSec >= static_cast<std::int64_t>(now.tv_sec) - 2;
}

bool SettingsFileReplaceable(const QString& path) {
    const auto fits = [](const QString& p) {
        const FileState s = StatRegularFile(p, kMaxSettingsFileBytes);
        return s == FileState::Regular || s == FileState::Missing;
    };
    return fits(path) && fits(path + QStringLiteral(".lock"));
}

QString FileStateText(FileState state, int error) {
    switch (state) {
    case FileState::Regular:
        return {};
    case FileState::Missing:
        return qt_error_string(ENOENT);
    case FileState::NotRegular:
        return error ? qt_error_string(error) : QStringLiteral("Not a regular file");
    case FileState::TooLarge:
        return qt_error_string(EFBIG);
    case FileState::Unreadable:
        break;
    }
    return qt_error_string(error);
}

} // namespace kv
