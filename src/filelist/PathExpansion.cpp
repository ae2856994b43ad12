#include "filelist/PathExpansion.h"

#include "engine/CdAudio.h"
#include "engine/CdSource.h"
#include "filelist/FolderListing.h"

#include <QFileInfo>
#include <QMetaObject>

namespace kv {

namespace {

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

PathsToAdd ExpandPathForAdding(const QString& path) {
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
    PathsToAdd add;
    for (const QString& name : ListFolderFiles(path, true, false, true)) {
        const QString file = JoinPath(path, name);
        add.paths << (isCueName(name) ? ExpandDiscPaths({file}) : QStringList{file});
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

PathExpander::~PathExpander() {
    cancel();
}

void PathExpander::expandDiscs(const QStringList& paths, Done done) {
    Job job = [paths] { return PathsToAdd{ExpandDiscPaths(paths), false}; };
    run(AnyDiscPath(paths), std::move(job), std::move(done));
}

void PathExpander::expandFolder(const QString& folder, Done done) {
    // Listing and sorting a folder of thousands of files would hold the window up too.
    Job job = [folder] { return ExpandPathForAdding(folder); };
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
    // The expander joins this thread before it goes, and a result for a dropped job is
    // recognised by its generation.
    worker_ = std::thread([this, job = pending_.front().job, generation = generation_] {
        const PathsToAdd result = job();
        QMetaObject::invokeMethod(
            this, [this, generation, result] { finish(generation, result); }, Qt::QueuedConnection);
    });
}

void PathExpander::finish(quint64 generation, const PathsToAdd& result) {
    if (generation != generation_ || pending_.empty())
        return;
    worker_.join();
    const Done done = std::move(pending_.front().done);
    pending_.pop_front();
    // The next job starts first: `done` may show a box and let further calls in.
    startNext();
    done(result);
}

void PathExpander::cancel() {
    ++generation_;
    pending_.clear();
    if (worker_.joinable())
        worker_.join();
}

} // namespace kv
