#include "engine/UserFile.h"

#include "settings/NativePath.h"
#include "settings/RegularFile.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace kv {

namespace {

// What FFmpeg reads in one go; its own file reader takes as much.
constexpr int kIoBufferBytes = 32 * 1024;
// Reading a whole file checks for a cancel between pieces of this size.
constexpr std::int64_t kReadPiece = 4LL * 1024 * 1024;

// A demuxer that would open another file (a reference, a segment) is told no.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

} // namespace

const char* const kUserFileDemuxers =
    "wav,w64,asf,xwma,mp3,mov,ogg,aac,loas,flac,ac3,eac3,dts,dtshd,truehd,mlp,mpc,mpc8,tta,ape,"
    "wv,tak,shn,adx,aiff,au,caf,amr,voc,dsf,oma,avi,mpeg,mpegts,matroska,flv,rm,nut";

OpenLimit OpenLimit::from(const StreamOpenOptions& options) {
    OpenLimit limit;
    limit.cancel = options.cancel;
    if (options.openTimeoutMs > 0)
        limit.deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(options.openTimeoutMs);
    return limit;
}

bool OpenLimit::reached() const {
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed))
        return true;
    return deadline != std::chrono::steady_clock::time_point::max() &&
           std::chrono::steady_clock::now() >= deadline;
}

std::shared_ptr<UserFile> UserFile::open(const QString& path, int* error) {
    const auto fail = [error](int code) {
        if (error != nullptr)
            *error = code;
        return std::shared_ptr<UserFile>();
    };
    if (path.isEmpty())
        return fail(ENOENT);
    const QByteArray native = NativePath(path);
    // Opening some devices does things; what is plainly no file is not opened at all.
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        return fail(errno);
    if (!S_ISREG(st.st_mode))
        return fail(ENODEV);
    // What counts is what was opened: a FIFO put in the file's place meanwhile is refused.
    UniqueFd fd = OpenRegularFile(native);
    if (!fd.valid())
        return fail(errno == EISDIR ? ENODEV : errno);
    if (error != nullptr)
        *error = 0;
    return std::shared_ptr<UserFile>(new UserFile(fd.release(), path));
}

UserFile::~UserFile() {
    ::close(fd_);
}

std::int64_t UserFile::size() const {
    struct stat st;
    return ::fstat(fd_, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

std::int64_t UserFile::readAt(std::int64_t offset, void* out, std::int64_t count) const {
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd_, static_cast<char*>(out) + done,
                                    static_cast<size_t>(count - done), offset + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

QByteArray UserFile::readAt(std::int64_t offset, std::int64_t count) const {
    QByteArray bytes(static_cast<qsizetype>(std::max<std::int64_t>(0, count)), Qt::Uninitialized);
    const std::int64_t got = readAt(offset, bytes.data(), bytes.size());
    bytes.resize(static_cast<qsizetype>(std::max<std::int64_t>(0, got)));
    return bytes;
}

std::optional<QByteArray> UserFile::readAll(std::int64_t maxBytes, const OpenLimit& limit) const {
    const std::int64_t total = size();
    if (total < 0 || total > maxBytes)
        return std::nullopt;
    QByteArray data;
    data.reserve(static_cast<qsizetype>(total));
    while (data.size() < total) {
        if (limit.reached())
            return std::nullopt;
        const QByteArray piece =
            readAt(data.size(), std::min<std::int64_t>(kReadPiece, total - data.size()));
        if (piece.isEmpty())
            break; // cut meanwhile: what there is
        data += piece;
    }
    return data;
}

UserInput::~UserInput() {
    close();
}

void UserInput::close() {
    // A custom reader stays ours: closing the format leaves it alone.
    if (format_ != nullptr)
        avformat_close_input(&format_);
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    file_.reset();
    position_ = 0;
}

int UserInput::open(std::shared_ptr<const UserFile> file, const AVInputFormat* forced,
                    int (*interrupt)(void*), void* interruptOpaque, AVDictionary** options) {
    close();
    file_ = std::move(file);
    interrupt_ = interrupt;
    interruptOpaque_ = interruptOpaque;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer == nullptr)
        return AVERROR(ENOMEM);
    io_ = avio_alloc_context(buffer, kIoBufferBytes, 0, this, &UserInput::readPacket, nullptr,
                             &UserInput::seek);
    if (io_ == nullptr) {
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr)
        return AVERROR(ENOMEM);
    raw->pb = io_;
    raw->io_open = &refuseNestedOpen;
    raw->interrupt_callback = {interrupt, interruptOpaque};
    raw->format_whitelist = av_strdup(kUserFileDemuxers);
    // The path only names the input: its extension helps detection, nothing opens it.
    const QByteArray name = NativePath(file_->path());
    // On failure FFmpeg frees the context, but not our reader.
    const int opened = avformat_open_input(&raw, name.constData(), forced, options);
    if (opened < 0)
        return opened;
    format_ = raw;
    return 0;
}

std::int64_t UserInput::bytesRead() const {
    return io_ != nullptr ? io_->bytes_read : 0;
}

bool UserInput::interrupted() const {
    return interrupt_ != nullptr && interrupt_(interruptOpaque_) != 0;
}

int UserInput::readPacket(void* opaque, std::uint8_t* buf, int size) {
    auto* self = static_cast<UserInput*>(opaque);
    if (self->interrupted())
        return AVERROR_EXIT;
    const std::int64_t got = self->file_->readAt(self->position_, buf, size);
    if (got < 0)
        return AVERROR(errno);
    if (got == 0)
        return AVERROR_EOF;
    self->position_ += got;
    return static_cast<int>(got);
}

std::int64_t UserInput::seek(void* opaque, std::int64_t offset, int whence) {
    auto* self = static_cast<UserInput*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) {
        const std::int64_t size = self->file_->size();
        return size >= 0 ? size : AVERROR(EIO);
    }
    std::int64_t to = offset;
    if (whence == SEEK_CUR) {
        to = self->position_ + offset;
    } else if (whence == SEEK_END) {
        const std::int64_t size = self->file_->size();
        if (size < 0)
            return AVERROR(EIO);
        to = size + offset;
    } else if (whence != SEEK_SET) {
        return AVERROR(EINVAL);
    }
    if (to < 0)
        return AVERROR(EINVAL);
    self->position_ = to;
    return to;
}

} // namespace kv
