#pragma once

#include <QObject>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <thread>

namespace kv {

// What one path given to "Add Folder...", the command line or kelvanto-batch adds.
struct PathsToAdd {
    QStringList paths;  // for AddFile2Grid, in order
    bool empty = false; // nothing at all: "Selected Folder is empty."
};

// A disc (a CUE image, a CD drive, the folder its disc is mounted on) gives its audio tracks,
// data tracks left out; a drive without a disc is empty; a disc that cannot be read gives its
// first track, whose length probe then fails. A folder gives the files directly inside it,
// with a CUE image among them replaced by its tracks; with `subfolders`, the files of every
// level below follow (see ListFolderFiles). Anything else is itself.
PathsToAdd ExpandPathForAdding(const QString& path, bool subfolders = false);

// Picked or dropped paths with every disc among them replaced by its tracks; the rest as is.
QStringList ExpandDiscPaths(const QStringList& paths);
// Whether any of the paths is a disc, whose table of contents may take a drive seconds to read.
bool AnyDiscPath(const QStringList& paths);

// Expands paths for the window without holding it up: a job that reads a disc runs on a
// thread of its own, as does a folder's listing; other paths at once. Results are handed over
// in the order of the calls, on this object's thread.
class PathExpander : public QObject {
    Q_OBJECT
public:
    using Job = std::function<PathsToAdd()>;
    using Done = std::function<void(const PathsToAdd&)>;

    explicit PathExpander(QObject* parent = nullptr) : QObject(parent) {}
    ~PathExpander() override;

    // Picked or dropped paths with the discs among them replaced by their tracks.
    void expandDiscs(const QStringList& paths, Done done);
    // What "Add Folder..." adds for a folder, a drive or an image; always listed off the
    // window's thread.
    void expandFolder(const QString& folder, bool subfolders, Done done);
    void run(bool slow, Job job, Done done);
    bool isBusy() const { return !pending_.empty(); }
    // Drops the jobs not yet handed over; returns once the thread has ended, or after half a
    // second, leaving behind a thread stuck in a read (a drive or file system that hangs).
    void cancel();

private:
    struct Pending {
        Job job;
        Done done;
    };
    struct Run;
    void startNext();
    void finish(quint64 generation, const PathsToAdd& result);
    void letGo();

    std::deque<Pending> pending_;
    std::thread worker_;
    std::shared_ptr<Run> run_;
    quint64 generation_ = 0;
};

} // namespace kv
