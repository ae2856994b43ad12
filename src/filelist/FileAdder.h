#pragma once

#include "filelist/AddFile2Grid.h"

#include <QObject>
#include <QStringList>

#include <deque>
#include <memory>
#include <thread>
#include <vector>

namespace kv {

// Adds many paths without stalling the window: the path checks and the rows happen in the
// window's thread, the length probe and the file size on one worker thread. Rows go in in
// the order of the paths. Picks that arrive while one is being added wait their turn.
class FileAdder : public QObject {
    Q_OBJECT
public:
    FileAdder(FileListModel* model, std::unique_ptr<AddFileHost> host, QObject* parent = nullptr);
    ~FileAdder() override;

    // Queues one pick. `reportRefused` is handed back with pickFinished, for the summary box.
    void add(const QStringList& paths, bool reportRefused);

    // True from the first queued pick until the last one has finished.
    bool isBusy() const { return running_; }
    // Paths of the current pick that were dealt with, and all of them.
    int done() const { return done_; }
    int total() const { return total_; }

    // Drops the waiting picks and stops the worker after the file it is measuring; rows
    // already added stay. Returns once the worker has ended.
    void cancel();

Q_SIGNALS:
    void busyChanged(bool busy);
    void progress(int done, int total);
    // Every path of a pick was tried; `refused` counts duplicates, refused extensions and
    // failures.
    void pickFinished(int added, int refused, bool reportRefused);

private:
    struct Pick {
        QStringList paths;
        bool reportRefused = false;
    };
    struct Shared;

    void startNext();
    void startWorker();
    void stopWorker();
    void finishPick();
    Q_INVOKABLE void drain();

    FileListModel* model_;
    std::unique_ptr<AddFileHost> host_;
    std::deque<Pick> waiting_;
    bool running_ = false;
    bool draining_ = false;
    // Changes on every cancel, so code resumed after a nested event loop can tell.
    quint64 generation_ = 0;

    // The current pick.
    bool reportRefused_ = false;
    int total_ = 0, done_ = 0, added_ = 0, refused_ = 0;
    std::vector<QString> toMeasure_;
    size_t appended_ = 0;

    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};

} // namespace kv
