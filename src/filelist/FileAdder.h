#pragma once

#include "filelist/AddFile2Grid.h"

#include <QObject>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace kv {

// Adds many paths without stalling the window: the path checks and the rows happen in the
// window's thread, the length probe and the file size on a few worker threads (one per core,
// at most four). Rows go in in the order of the paths. Picks that arrive while one is being
// added wait their turn.
class FileAdder : public QObject {
    Q_OBJECT
public:
    FileAdder(FileListModel* model, std::unique_ptr<AddFileHost> host, QObject* parent = nullptr);
    ~FileAdder() override;

    // Queues one pick. `reportRefused` is handed back with pickFinished, for the summary box.
    // A pick that is not reported (a drop) is silent throughout: a folder or a special file
    // in it is refused without the error box.
    void add(const QStringList& paths, bool reportRefused);

    // What the workers run for each path; MeasureFile unless replaced (tests hold it at a
    // gate). It must return soon once `cancel` turns true.
    using Measure =
        std::function<FileMeasure(const QString& path, const std::atomic<bool>* cancel)>;
    void setMeasure(Measure measure) { measure_ = std::move(measure); }
    // The cores the workers spread over; the system's count unless set.
    void setCores(int cores) { cores_ = std::max(1, cores); }
    // Workers a pick of this many paths gets.
    int workersFor(qsizetype paths) const;

    // True from the first queued pick until the last one has finished.
    bool isBusy() const { return running_; }
    // Paths of the current pick that were dealt with, and all of them.
    int done() const { return done_; }
    int total() const { return total_; }

    // Drops the waiting picks and stops the workers, cutting short the files they are
    // measuring; rows already added stay. Returns once the workers have ended.
    void cancel();

Q_SIGNALS:
    void busyChanged(bool busy);
    void progress(int done, int total);
    // Every path of a pick was tried; `refused` counts duplicates, refused extensions and
    // failures. `unreadable` names (as far as they can be shown) the files refused because
    // their names could not be read; they are counted in `refused` too.
    void pickFinished(int added, int refused, bool reportRefused, const QStringList& unreadable);

private:
    struct Pick {
        QStringList paths;
        bool reportRefused = false;
    };
    struct Shared;

    void startNext();
    void startWorkers();
    void stopWorkers();
    void finishPick();
    Q_INVOKABLE void drain();

    FileListModel* model_;
    std::unique_ptr<AddFileHost> host_;
    std::deque<Pick> waiting_;
    bool running_ = false;
    bool draining_ = false;
    // Changes on every cancel, so code resumed after a nested event loop can tell.
    quint64 generation_ = 0;

    Measure measure_;
    int cores_;

    // The current pick.
    bool reportRefused_ = false;
    int total_ = 0, done_ = 0, added_ = 0, refused_ = 0;
    QStringList unreadable_;
    std::vector<QString> toMeasure_;
    size_t appended_ = 0;

    std::shared_ptr<Shared> shared_;
    std::vector<std::thread> workers_;
};

} // namespace kv
