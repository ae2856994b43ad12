#include "filelist/PathExpansion.h"

#include "engine/CdAudio.h"
#include "engine/CdSource.h"
#include "engine/CueImage.h"
#include "filelist/FolderListing.h"

#include <QDir>
#include <QFileInfo>
#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kv {

namespace {

// How long a cancel waits for the running job before it leaves its thread behind.
constexpr auto kJobGrace = std::chrono::milliseconds(500);

// The tracks of a disc; `noDisc` when the drive is empty.
QStringList discTracks(const QString& source, bool& noDisc) {
    const CdToc toc = ReadCdToc(source);
    noDisc = toc.state == CdDiscState::NoDisc;
    QStringList out;
    if (toc.state == CdDiscState::Unreadable)
        out << MakeCdTrackPath(source, 1);
    for (const CdTrackToc& track : toc.tracks) {
        if (track.audio)
            out << MakeCdTrackPath(source, track.number);
    }
    return out;
}

bool isCueName(const QString& path) {
    return path.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive);
}

} // namespace

PathsToAdd ExpandPathForAdding(const QString& path, bool subfolders) {
    const QString source = CdSourceOf(path);
    const bool folder = QFileInfo(path).isDir();
    if (!source.isEmpty()) {
        bool noDisc = false;
        const QStringList tracks = discTracks(source, noDisc);
        if (!tracks.isEmpty())
            return {tracks, false};
        // A mounted disc without audio is a folder like any other.
        if (noDisc || !folder)
            return {{}, true};
    }
    if (!folder)
        return {{path}, false};
    const QStringList files = ListFolderFiles(path, !subfolders, false, false);
    // A data file that a disc image's sheet beside it names belongs to that sheet, which
    // stands for its tracks: it is passed over, not refused.
    QStringList owned;
    for (const QString& file : files) {
        if (isCueName(file))
            owned << CueImageDataFiles(file);
    }
    PathsToAdd add;
    for (const QString& file : files) {
        if (!owned.isEmpty() && owned.contains(QDir::cleanPath(file)))
            continue;
        add.paths << (isCueName(file) ? ExpandDiscPaths({file}) : QStringList{file});
    }
    add.empty = add.paths.isEmpty();
    return add;
}

QStringList ExpandDiscPaths(const QStringList& paths) {
    QStringList out;
    for (const QString& path : paths) {
        const QString source = CdSourceOf(path);
        bool noDisc = false;
        out << (source.isEmpty() ? QStringList{path} : discTracks(source, noDisc));
    }
    return out;
}

bool AnyDiscPath(const QStringList& paths) {
    for (const QString& path : paths) {
        if (!CdSourceOf(path).isEmpty())
            return true;
    }
    return false;
}

// What a job's thread shares with the expander; the thread holds it to its end, so one left
// behind touches nothing that has gone. `owner` is cleared when the expander lets go.
struct PathExpander::Run {
    std::mutex mutex;
    std::condition_variable ended;
    PathExpander* owner = nullptr;
    bool finished = false;
};

PathExpander::~PathExpander() {
    cancel();
}

void PathExpander::expandDiscs(const QStringList& paths, Done done) {
    Job job = [paths] { return PathsToAdd{ExpandDiscPaths(paths), false}; };
    run(AnyDiscPath(paths), std::move(job), std::move(done));
}

void PathExpander::expandFolder(const QString& folder, bool subfolders, Done done) {
    // Listing and sorting a folder of thousands of files would hold the window up too.
    Job job = [folder, subfolders] { return ExpandPathForAdding(folder, subfolders); };
    run(true, std::move(job), std::move(done));
}

void PathExpander::run(bool slow, Job job, Done done) {
    if (!slow && pending_.empty()) {
        done(job());
        return;
    }
    pending_.push_back({std::move(job), std::move(done)});
    if (pending_.size() == 1)
        startNext();
}

void PathExpander::startNext() {
    if (pending_.empty())
        return;
    // A result for a dropped job is recognised by its generation; the expander is reached
    // only while it still holds on to the run.
    run_ = std::make_shared<Run>();
    run_->owner = this;
    worker_ = std::thread([run = run_, job = pending_.front().job, generation = generation_] {
        const PathsToAdd result = job();
        std::lock_guard<std::mutex> lock(run->mutex);
        if (PathExpander* owner = run->owner) {
            QMetaObject::invokeMethod(
                owner, [owner, generation, result] { owner->finish(generation, result); },
                Qt::QueuedConnection);
        }
        run->finished = true;
        run->ended.notify_all();
    });
}

void PathExpander::letGo() {
    if (!run_)
        return;
    std::unique_lock<std::mutex> lock(run_->mutex);
    run_->owner = nullptr;
    const bool ended = run_->ended.wait_for(lock, kJobGrace, [this] { return run_->finished; });
    lock.unlock();
    if (ended)
        worker_.join();
    else
        worker_.detach();
    run_.reset();
}

void PathExpander::finish(quint64 generation, const PathsToAdd& result) {
    if (generation != generation_ || pending_.empty())
        return;
    worker_.join();
    run_.reset();
    const Done done = std::move(pending_.front().done);
    pending_.pop_front();
    // The next job starts first: `done` may show a box and let further calls in.
    startNext();
    done(result);
}

void PathExpander::cancel() {
    ++generation_;
    pending_.clear();
    letGo();
}

} // namespace kv
