#include "filelist/FileAdder.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QSet>

#include <atomic>
#include <mutex>

namespace kv {

namespace {
// Longest stretch the window's thread spends appending rows before it serves other events.
constexpr qint64 kAppendSliceMs = 25;
} // namespace

// What the worker hands over: measures in path order.
struct FileAdder::Shared {
    std::mutex mutex;
    std::deque<FileMeasure> results;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> posted{false};
};

FileAdder::FileAdder(FileListModel* model, std::unique_ptr<AddFileHost> host, QObject* parent)
    : QObject(parent), model_(model), host_(std::move(host)) {}

FileAdder::~FileAdder() {
    // Quietly: whoever listens may be half gone.
    waiting_.clear();
    stopWorker();
}

void FileAdder::add(const QStringList& paths, bool reportRefused) {
    waiting_.push_back({paths, reportRefused});
    if (running_)
        return;
    running_ = true;
    Q_EMIT busyChanged(true);
    startNext();
}

void FileAdder::startNext() {
    if (waiting_.empty()) {
        running_ = false;
        total_ = done_ = 0;
        Q_EMIT busyChanged(false);
        return;
    }
    Pick pick = std::move(waiting_.front());
    waiting_.pop_front();
    reportRefused_ = pick.reportRefused;
    total_ = static_cast<int>(pick.paths.size());
    done_ = added_ = refused_ = 0;
    toMeasure_.clear();
    appended_ = 0;

    // The cheap checks first, against the list as it is now; a path twice in one pick is
    // measured once and refused the second time.
    QSet<QString> seen;
    for (QString path : pick.paths) {
        if (CheckFile(path, *model_->table()) != AddFileResult::Added || seen.contains(path)) {
            ++refused_;
            ++done_;
            continue;
        }
        seen.insert(path);
        toMeasure_.push_back(path);
    }
    Q_EMIT progress(done_, total_);
    shared_ = std::make_shared<Shared>();
    if (toMeasure_.empty()) {
        shared_->posted = true;
        QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
        return;
    }
    startWorker();
}

void FileAdder::startWorker() {
    // The adder joins this thread before it goes, so the pointer outlives every use.
    worker_ = std::thread([shared = shared_, paths = toMeasure_, self = this] {
        for (const QString& path : paths) {
            if (shared->cancelled)
                return;
            FileMeasure m = MeasureFile(path);
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                shared->results.push_back(std::move(m));
            }
            // One queued call at a time: set means a drain is coming or running.
            if (!shared->posted.exchange(true))
                QMetaObject::invokeMethod(self, "drain", Qt::QueuedConnection);
        }
    });
}

void FileAdder::stopWorker() {
    if (shared_)
        shared_->cancelled = true;
    if (worker_.joinable())
        worker_.join();
}

void FileAdder::drain() {
    if (!running_ || draining_ || !shared_)
        return;
    draining_ = true;
    const quint64 generation = generation_;
    const std::shared_ptr<Shared> shared = shared_;
    QElapsedTimer slice;
    slice.start();
    bool more = false;
    while (appended_ < toMeasure_.size()) {
        FileMeasure m;
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->results.empty()) {
                // Under the lock, so the worker's next measure posts a new drain.
                shared->posted = false;
                break;
            }
            m = std::move(shared->results.front());
            shared->results.pop_front();
        }
        const QString path = toMeasure_[appended_++];
        // An error box may run a nested event loop, during which the pick can be cancelled.
        const AddFileResult r = AppendMeasuredFile(path, m, *model_, *host_);
        if (generation != generation_) {
            draining_ = false;
            return;
        }
        ++done_;
        if (r == AddFileResult::Added)
            ++added_;
        else
            ++refused_;
        if (slice.elapsed() >= kAppendSliceMs) {
            more = true;
            break;
        }
    }
    Q_EMIT progress(done_, total_);
    draining_ = false;
    if (generation != generation_)
        return;
    if (appended_ == toMeasure_.size()) {
        finishPick();
    } else if (more) {
        shared->posted = true;
        QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
    }
}

void FileAdder::finishPick() {
    stopWorker(); // it has handed over its last measure and is ending
    const quint64 generation = generation_;
    Q_EMIT pickFinished(added_, refused_, reportRefused_);
    // The summary box may have let a cancel through.
    if (generation != generation_)
        return;
    startNext();
}

void FileAdder::cancel() {
    ++generation_;
    waiting_.clear();
    stopWorker();
    toMeasure_.clear();
    appended_ = 0;
    shared_.reset();
    const bool was = running_;
    running_ = false;
    draining_ = false;
    total_ = done_ = 0;
    if (was)
        Q_EMIT busyChanged(false);
}

} // namespace kv
