#include "filelist/FileAdder.h"

#include "settings/NativePath.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace kv {

namespace {
// Longest stretch the window's thread spends appending rows before it serves other events.
constexpr qint64 kAppendSliceMs = 25;
// Measuring is mostly waiting for the disk and FFmpeg's work on one file; more workers than
// this only crowd a machine that is doing other things too.
constexpr int kMaxWorkers = 4;
// Paths one worker takes on before another one is worth starting.
constexpr qsizetype kPathsPerWorker = 8;
// How long a cancel waits for the workers to end before it leaves them behind.
constexpr auto kWorkerGrace = std::chrono::milliseconds(500);
} // namespace

// What the workers share: the paths, the next one to take, and the measures by path index.
// A worker holds it to its end, so a worker left behind by a cancel (stuck in a read that no
// flag can cut short) touches nothing that has gone.
struct FileAdder::Shared {
    std::vector<QString> paths;
    std::atomic<size_t> next{0};
    std::mutex mutex;
    std::vector<std::optional<FileMeasure>> results;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> posted{false};
    // Workers still running; `ended` wakes a cancel waiting for them.
    int running = 0;
    std::condition_variable ended;
};

FileAdder::FileAdder(FileListModel* model, std::unique_ptr<AddFileHost> host, QObject* parent)
    : QObject(parent), model_(model), host_(std::move(host)),
      measure_([](const QString& path, const std::atomic<bool>* cancel) {
          return MeasureFile(path, cancel);
      }),
      cores_(std::max(1, QThread::idealThreadCount())) {}

FileAdder::~FileAdder() {
    // Quietly: whoever listens may be half gone.
    waiting_.clear();
    stopWorkers();
}

int FileAdder::workersFor(qsizetype paths) const {
    const qsizetype wanted = (paths + kPathsPerWorker - 1) / kPathsPerWorker;
    return static_cast<int>(std::clamp<qsizetype>(wanted, 1, std::min(cores_, kMaxWorkers)));
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
    unreadable_.clear();
    toMeasure_.clear();
    appended_ = 0;

    // The cheap checks first, against the list as it is now; a path twice in one pick is
    // measured once and refused the second time.
    QSet<QString> seen;
    for (QString path : pick.paths) {
        const AddFileResult checked = CheckFile(path, *model_->table());
        if (checked == AddFileResult::NameNotReadable)
            unreadable_ << DisplayPath(path);
        if (checked != AddFileResult::Added || seen.contains(path)) {
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
    startWorkers();
}

void FileAdder::startWorkers() {
    shared_->paths = toMeasure_;
    shared_->results.resize(toMeasure_.size());
    const int count = workersFor(static_cast<qsizetype>(toMeasure_.size()));
    shared_->running = count;
    for (int w = 0; w < count; ++w) {
        // The adder is reached only under the shared lock and before a cancel, which every
        // stop of the workers sets first: a worker left behind never calls into a gone adder.
        workers_.emplace_back([shared = shared_, measure = measure_, self = this] {
            const auto work = [&] {
                for (;;) {
                    if (shared->cancelled)
                        return;
                    const size_t i = shared->next.fetch_add(1);
                    if (i >= shared->paths.size())
                        return;
                    FileMeasure m = measure(shared->paths[i], &shared->cancelled);
                    std::lock_guard<std::mutex> lock(shared->mutex);
                    // A measure cut short by the cancel says nothing about the file.
                    if (shared->cancelled)
                        return;
                    shared->results[i] = std::move(m);
                    // One queued call at a time: set means a drain is coming or running.
                    if (!shared->posted.exchange(true))
                        QMetaObject::invokeMethod(self, "drain", Qt::QueuedConnection);
                }
            };
            work();
            std::lock_guard<std::mutex> lock(shared->mutex);
            --shared->running;
            shared->ended.notify_all();
        });
    }
}

void FileAdder::stopWorkers() {
    if (shared_) {
        std::unique_lock<std::mutex> lock(shared_->mutex);
        shared_->cancelled = true;
        // A worker stuck in the kernel (a hung network file system) is left behind rather
        // than holding up the window: it owns what it still uses.
        if (!shared_->ended.wait_for(lock, kWorkerGrace, [&] { return shared_->running == 0; })) {
            lock.unlock();
            for (std::thread& t : workers_)
                t.detach();
            workers_.clear();
            return;
        }
    }
    for (std::thread& t : workers_) {
        if (t.joinable())
            t.join();
    }
    workers_.clear();
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
            std::optional<FileMeasure>& next = shared->results[appended_];
            if (!next) {
                // Under the lock, so the measure of this path posts a new drain.
                shared->posted = false;
                break;
            }
            m = std::move(*next);
            next.reset();
        }
        const QString path = toMeasure_[appended_++];
        // A drop says nothing: a folder or a special file named like a sound is passed over.
        if (!reportRefused_ && !m.isFile && !IsCdTrack(path)) {
            ++done_;
            ++refused_;
            continue;
        }
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
    stopWorkers(); // they have handed over their last measures and are ending
    const quint64 generation = generation_;
    Q_EMIT pickFinished(added_, refused_, reportRefused_, unreadable_);
    // The summary box may have let a cancel through.
    if (generation != generation_)
        return;
    startNext();
}

void FileAdder::cancel() {
    ++generation_;
    waiting_.clear();
    stopWorkers();
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
