#include "convert/BatchDriver.h"

#include "engine/CdSource.h"
#include "formats/Format.h"

#include <QFileInfo>
#include <QMutexLocker>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <thread>

namespace kv {

int JobsPerCore() {
    return std::clamp(QThread::idealThreadCount(), 1, kMaxJobs);
}

// Passes progress on only when it moved by a tenth of a percent, so the list is not flooded.
class BatchDriver::Control final : public ConversionControl {
public:
    Control(BatchDriver& driver, FileListRowId id) : driver_(driver), id_(id) {}
    bool stopRequested() const override { return driver_.stop_; }
    void progress(double percent) override {
        if (!std::isfinite(percent) || std::fabs(percent - last_) < 0.1)
            return;
        last_ = percent;
        Q_EMIT driver_.fileProgress(id_, percent);
    }
    void reportError(const QString& reason) override { error = reason; }
    QString error;

private:
    BatchDriver& driver_;
    FileListRowId id_;
    double last_ = -1.0;
};

BatchDriver::BatchDriver(QObject* parent) : QObject(parent) {
    qRegisterMetaType<kv::FileListRowId>("kv::FileListRowId");
    qRegisterMetaType<kv::FileOutcome>("kv::FileOutcome");
}

BatchDriver::~BatchDriver() {
    requestStop();
    wait();
}

void BatchDriver::setConverter(int format, Converter converter) {
    converters_.insert(format, std::move(converter));
}

void BatchDriver::setOptions(const ConversionOptions& options) {
    QMutexLocker lock(&mutex_);
    options_ = options;
}

ConversionOptions BatchDriver::options() const {
    QMutexLocker lock(&mutex_);
    return options_;
}

void BatchDriver::setChecked(FileListRowId id, bool checked) {
    QMutexLocker lock(&mutex_);
    checks_.insert(id, checked);
}

bool BatchDriver::isChecked(const BatchRow& row) const {
    QMutexLocker lock(&mutex_);
    return checks_.value(row.id, row.checked);
}

// One batch's walk over its rows, shared by its workers under walkMutex_.
struct BatchDriver::Walk {
    const std::vector<BatchRow>& rows;
    bool checkedOnly = false;
    std::size_t next = 0;
    bool anyStarted = false;
    QSet<QString> discsInUse; // the drives and images a worker reads a track of
};

// A file handed to a worker, its output already claimed.
struct BatchDriver::Job {
    BatchRow row;
    ConversionOptions options;
    OutputName name;
    QString disc; // the drive or image of a CD track, else empty
};

bool BatchDriver::start(std::vector<BatchRow> rows, bool checkedOnly) {
    if (running_)
        return false;
    if (worker_) {
        worker_->wait();
        worker_.reset();
    }
    {
        QMutexLocker lock(&mutex_);
        checks_.clear();
    }
    const int jobs = std::clamp(options().jobs, 1, kMaxJobs);
    stop_ = false;
    running_ = true;
    worker_.reset(QThread::create([this, rows = std::move(rows), checkedOnly, jobs] {
        const bool anyStarted = run(rows, checkedOnly, jobs);
        stop_ = false;
        running_ = false;
        Q_EMIT finished(anyStarted);
    }));
    worker_->start();
    return true;
}

void BatchDriver::requestStop() {
    stop_ = true;
    discFreed_.notify_all();
}

void BatchDriver::wait() {
    if (worker_)
        worker_->wait();
}

bool BatchDriver::run(const std::vector<BatchRow>& rows, bool checkedOnly, int jobs) {
    Walk walk{rows, checkedOnly, 0, false, {}};
    // The batch's own thread is one of the workers; with one job it is the only one.
    std::vector<std::thread> others;
    for (int i = 1; i < jobs; ++i)
        others.emplace_back([this, &walk] { work(walk); });
    work(walk);
    for (std::thread& t : others)
        t.join();
    return walk.anyStarted;
}

// Takes the next waiting row in list order and claims its output; false when the batch is
// stopped or no row is left.
bool BatchDriver::nextJob(Walk& walk, Job& job, std::unique_lock<std::mutex>& lock) {
    while (!stop_ && walk.next < walk.rows.size()) {
        const BatchRow& row = walk.rows[walk.next];
        if (!row.waiting || (walk.checkedOnly && !isChecked(row))) {
            ++walk.next;
            continue;
        }
        // A drive or image reads one track at a time: the next track of a disc that is being
        // read waits for it, and the rows after it wait their turn.
        QString disc;
        if (const std::optional<CdTrackRef> track = ParseCdTrackPath(row.path))
            disc = track->source;
        if (!disc.isEmpty() && walk.discsInUse.contains(disc)) {
            // A Stop notifies without the lock; the timeout bounds a wake-up missed so.
            discFreed_.wait_for(lock, std::chrono::milliseconds(50));
            continue;
        }
        ++walk.next;
        const ConversionOptions opts = options();
        const QString extension = OutputExtension(opts.outputFormat);
        // No format chosen: nothing is done for the row, and it does not count as started,
        // so a batch that converts nothing never switches the computer off.
        if (extension.isEmpty())
            continue;
        walk.anyStarted = true;
        const OutputName name = GetOutputFileName(row.path, extension, opts.folder);
        // A folder that cannot be made abandons the row; it keeps its status.
        if (name.outcome == OutputName::Outcome::FolderNotCreated) {
            Q_EMIT fileSkipped(row.id, row.path, name.error);
            continue;
        }
        if (name.outcome == OutputName::Outcome::FolderMissing)
            Q_EMIT outputFolderMissing();
        const bool named = name.outcome == OutputName::Outcome::Ok;
        Q_EMIT fileStarted(row.id, row.path, named ? name.path : QString());
        if (!disc.isEmpty())
            walk.discsInUse.insert(disc);
        job = {row, opts, name, disc};
        return true;
    }
    return false;
}

void BatchDriver::work(Walk& walk) {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(walkMutex_);
            if (!nextJob(walk, job, lock))
                return;
        }

        const OutputName& name = job.name;
        const bool named = name.outcome == OutputName::Outcome::Ok;
        const QString extension = OutputExtension(job.options.outputFormat);
        const auto converter = converters_.constFind(job.options.outputFormat);
        Control control(*this, job.row.id);
        // Without a name of its own, or without a converter for the format, the file fails.
        FileOutcome outcome = FileOutcome::Error;
        if (!named)
            control.error = name.error;
        else if (converter == converters_.constEnd())
            control.error = QStringLiteral("%1 output is not available").arg(extension);
        else {
            const ClaimInHand inHand(job.name);
            outcome = (*converter)(job.row.path, name.path, job.options, control);
        }
        if (outcome == FileOutcome::Error)
            ReleaseOutputClaim(name);
        // A finished file may have been replaced by its tagged copy; any other is kept only
        // while the name still leads to the file claimed, not to one another run made there.
        const bool kept =
            named && (outcome == FileOutcome::Complete
                          ? QFileInfo(name.path).isFile()
                          : name.held != nullptr && LeadsTo(name.path, name.held->get()));
        Q_EMIT fileFinished(job.row.id, outcome, kept ? name.path : QString(), control.error);

        if (!job.disc.isEmpty()) {
            {
                std::lock_guard<std::mutex> lock(walkMutex_);
                walk.discsInUse.remove(job.disc);
            }
            discFreed_.notify_all();
        }
    }
}

} // namespace kv
