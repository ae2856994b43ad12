#pragma once

#include <QByteArray>
#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>

namespace kv {

// A descriptor closed when it goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Hands the descriptor over; this no longer closes it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// Opens a file for reading without waiting on a FIFO or a device, and keeps it only when the
// open descriptor is a regular file, so the check and every read are of one file. `st` gets
// its status. On failure the descriptor is invalid and errno tells why: the open's own error,
// EISDIR for a folder, ENODEV for anything else that is not a regular file.
UniqueFd OpenRegularFile(const QByteArray& nativePath, struct stat* st = nullptr,
                         int extraFlags = 0);

// Largest files the program reads: a language file, and a settings file (the output settings,
// the per-user language choice, the deployment's addresses). A larger one is neither read
// nor written over.
inline constexpr qint64 kMaxLanguageFileBytes = 1024 * 1024;
inline constexpr qint64 kMaxSettingsFileBytes = 16 * 1024 * 1024;

// What a path leads to, for a reader that takes only regular files of a bounded size.
enum class FileState {
    Regular,    // a regular file within the limit
    Missing,    // nothing there (or a link to nothing)
    NotRegular, // a folder, a FIFO, a device, a socket
    TooLarge,   // a regular file over the limit
    Unreadable, // there, but it cannot be opened or read (errno in `error`)
};

// Which file, in which version: a file edited or replaced gets another stamp. The
// modification time has nanoseconds where the file system keeps them.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtimeSec = 0;
    long mtimeNsec = 0;
    bool operator==(const FileStamp&) const = default;
};

struct RegularFileRead {
    FileState state = FileState::Missing;
    int error = 0;    // errno for Unreadable
    QByteArray bytes; // the whole file when Regular
    FileStamp stamp;  // of the file read, when Regular
};

// Reads a whole file through one descriptor, opened without blocking (a FIFO or a device
// never holds the caller) and checked as a regular file within `maxBytes` before a byte is
// read. A file that grows past the limit while it is read counts as TooLarge.
RegularFileRead ReadRegularFile(const QString& path, qint64 maxBytes);

// What a path leads to now, by one stat; `stamp` is filled for a regular file.
FileState StatRegularFile(const QString& path, qint64 maxBytes, FileStamp* stamp = nullptr,
                          int* error = nullptr);

// True while a file of this stamp may still change without its stamp changing: its
// modification time is so recent that another write within the file system's time
// granularity would leave it as it is. A cache trusts a stamp only once it is older.
bool StampMayStillChange(const FileStamp& stamp);

// Whether a settings file may be written over: there is nothing at `path`, or a regular file
// within kMaxSettingsFileBytes; and its lock file ("<path>.lock") too, which the locker reads.
bool SettingsFileReplaceable(const QString& path);

// The reason a path cannot be read, for a message ("Is a directory", "File too large").
QString FileStateText(FileState state, int error);

} // namespace kv
