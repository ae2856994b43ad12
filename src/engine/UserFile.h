#pragma once

#include "engine/DecodeStream.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

struct AVFormatContext;
struct AVInputFormat;
struct AVIOContext;
struct AVDictionary;

namespace kv {

// When an open of a user's file has to give up: a cancel flag turned true or a deadline passed.
struct OpenLimit {
    const std::atomic<bool>* cancel = nullptr;
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();

    static OpenLimit from(const StreamOpenOptions& options);
    bool reached() const;
};

// A file the user chose, opened so that nothing can hang on it or lead elsewhere: opened
// without blocking (a FIFO or a device never waits for a writer) and kept only when the open
// descriptor is a regular file, so the check and every read are of one and the same file.
// Every reader of a user's file goes through it.
class UserFile {
public:
    // Nothing on failure, with `error` set: the system's errno, or ENODEV for anything that is
    // not a regular file.
    static std::shared_ptr<UserFile> open(const QString& path, int* error = nullptr);
    ~UserFile();
    UserFile(const UserFile&) = delete;
    UserFile& operator=(const UserFile&) = delete;

    const QString& path() const { return path_; }
    // The size now (the file may grow while it is read); -1 on failure.
    std::int64_t size() const;
    // Up to `count` bytes from `offset`, fewer only at the end; -1 with errno on failure.
    std::int64_t readAt(std::int64_t offset, void* out, std::int64_t count) const;
    QByteArray readAt(std::int64_t offset, std::int64_t count) const;
    // The whole file when it holds at most `maxBytes`, read in pieces so `limit` is heard.
    std::optional<QByteArray> readAll(std::int64_t maxBytes, const OpenLimit& limit = {}) const;

private:
    UserFile(int fd, QString path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    QString path_;
};

// The demuxers FFmpeg may run on a user's file: those of real audio and video containers.
// Never a playlist, a list of other files, an image sequence or a network stream, which
// open further files by the names written inside.
extern const char* const kUserFileDemuxers;

// An FFmpeg input over a UserFile: FFmpeg reads through an AVIOContext of ours on the open
// descriptor (seekable, its size known), runs only the demuxers above, and any demuxer's wish
// to open another file is refused. The interrupt callback is also asked before every read.
class UserInput {
public:
    UserInput() = default;
    ~UserInput();
    UserInput(const UserInput&) = delete;
    UserInput& operator=(const UserInput&) = delete;

    // avformat_open_input on `file`, `forced` skipping detection; an FFmpeg error code.
    int open(std::shared_ptr<const UserFile> file, const AVInputFormat* forced,
             int (*interrupt)(void*), void* interruptOpaque, AVDictionary** options = nullptr);
    void close();
    AVFormatContext* format() const { return format_; }
    // Bytes FFmpeg has read through this input so far.
    std::int64_t bytesRead() const;

private:
    static int readPacket(void* opaque, std::uint8_t* buf, int size);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);
    bool interrupted() const;

    std::shared_ptr<const UserFile> file_;
    AVFormatContext* format_ = nullptr;
    AVIOContext* io_ = nullptr;
    std::int64_t position_ = 0;
    int (*interrupt_)(void*) = nullptr;
    void* interruptOpaque_ = nullptr;
};

} // namespace kv
