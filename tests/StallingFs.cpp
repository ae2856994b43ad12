#include "StallingFs.h"

#define FUSE_USE_VERSION 34
#include <fuse_lowlevel.h>

#include <QFile>

#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace kvtest {

struct StallingFs::State {
    QByteArray name, bytes;
    qint64 holdFrom = 0;
    fuse_session* session = nullptr;
    mutable std::mutex mutex;
    std::condition_variable heldChanged;
    bool released = false;
    struct Held {
        fuse_req_t req;
        off_t offset;
        size_t size;
    };
    std::vector<Held> held;

    void reply(fuse_req_t req, off_t offset, size_t size) const {
        const qint64 from = std::min<qint64>(offset, bytes.size());
        fuse_reply_buf(req, bytes.constData() + from,
                       static_cast<size_t>(std::min<qint64>(size, bytes.size() - from)));
    }
};

namespace {

constexpr fuse_ino_t kFileInode = 2;

StallingFs::State& state(fuse_req_t req) {
    return *static_cast<StallingFs::State*>(fuse_req_userdata(req));
}

struct stat attributes(const StallingFs::State& s, fuse_ino_t ino) {
    struct stat st {};
    st.st_ino = ino;
    st.st_mode = ino == kFileInode ? S_IFREG | 0444 : S_IFDIR | 0555;
    st.st_nlink = 1;
    st.st_size = ino == kFileInode ? s.bytes.size() : 0;
    st.st_mtim.tv_sec = 1700000000;
    return st;
}

void onLookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
    if (parent != FUSE_ROOT_ID || state(req).name != name) {
        fuse_reply_err(req, ENOENT);
        return;
    }
    fuse_entry_param entry{};
    entry.ino = kFileInode;
    entry.attr = attributes(state(req), kFileInode);
    fuse_reply_entry(req, &entry);
}

void onGetattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
    const struct stat st = attributes(state(req), ino);
    fuse_reply_attr(req, &st, 0);
}

void onOpen(fuse_req_t req, fuse_ino_t, fuse_file_info* fi) {
    fi->direct_io = 1; // every read reaches us, none is answered from the page cache
    fuse_reply_open(req, fi);
}

// Held reads are answered later by release(), from the test's thread; the loop goes on.
void onRead(fuse_req_t req, fuse_ino_t, size_t size, off_t offset, fuse_file_info*) {
    StallingFs::State& s = state(req);
    std::unique_lock lock(s.mutex);
    if (!s.released && offset >= s.holdFrom) {
        s.held.push_back({req, offset, size});
        s.heldChanged.notify_all();
        return;
    }
    lock.unlock();
    s.reply(req, offset, size);
}

} // namespace

StallingFs::StallingFs(const QString& name, QByteArray bytes, qint64 holdFrom)
    : state_(std::make_unique<State>()) {
    state_->name = QFile::encodeName(name);
    state_->bytes = std::move(bytes);
    state_->holdFrom = holdFrom;
    static const fuse_lowlevel_ops ops = [] {
        fuse_lowlevel_ops o{};
        o.lookup = onLookup;
        o.getattr = onGetattr;
        o.open = onOpen;
        o.read = onRead;
        return o;
    }();
    char program[] = "stallingfs";
    char* argv[] = {program, nullptr};
    fuse_args args = FUSE_ARGS_INIT(1, argv);
    state_->session = fuse_session_new(&args, &ops, sizeof ops, state_.get());
    if (state_->session == nullptr ||
        fuse_session_mount(state_->session, QFile::encodeName(dir_.path()).constData()) != 0)
        return;
    thread_ = std::thread([session = state_->session] { fuse_session_loop(session); });
}

StallingFs::~StallingFs() {
    release();
    if (thread_.joinable()) {
        // Once unmounted the loop's next read of the device fails, and the loop ends.
        ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
        thread_.join();
        fuse_session_unmount(state_->session);
    }
    if (state_->session != nullptr)
        fuse_session_destroy(state_->session);
}

QString StallingFs::path() const {
    return dir_.filePath(QFile::decodeName(state_->name));
}

bool StallingFs::waitHeld(std::chrono::milliseconds limit) {
    std::unique_lock lock(state_->mutex);
    return state_->heldChanged.wait_for(lock, limit, [&] { return !state_->held.empty(); });
}

int StallingFs::held() const {
    std::lock_guard lock(state_->mutex);
    return static_cast<int>(state_->held.size());
}

void StallingFs::release() {
    std::vector<State::Held> held;
    {
        std::lock_guard lock(state_->mutex);
        state_->released = true;
        held.swap(state_->held);
    }
    for (const State::Held& h : held)
        state_->reply(h.req, h.offset, h.size);
}

} // namespace kvtest
