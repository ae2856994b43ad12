#pragma once

#include "convert/OutputNaming.h"
#include "formats/Conversion.h"
#include "filelist/FileListTable.h"
#include "settings/OutputSettings.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QThread>

#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kv {

// The most files a batch converts at once, whatever is asked.
inline constexpr int kMaxJobs = 64;
// One file at a time for each core the system reports.
int JobsPerCore();

// A row as the batch found it when it started.
struct BatchRow {
    FileListRowId id = 0;
    QString path;
    bool waiting = false; // "Waiting Conversion" or the cancelled text
    bool checked = false;
};

// Runs one batch at a time on worker threads: as many files at once as the options' `jobs` when
// the batch starts, started in list order (each names its output before the next starts).
// Lives on the window's thread; its signals reach the window queued, so only the window
// touches the list.
class BatchDriver : public QObject {
    Q_OBJECT
public:
    explicit BatchDriver(QObject* parent = nullptr);
    ~BatchDriver() override;

    void setConverter(int format, Converter converter);
    bool hasConverter(int format) const { return converters_.contains(format); }

    // Thread-safe: the window keeps these current while a batch runs.
    void setOptions(const ConversionOptions& options);
    ConversionOptions options() const;
    void setChecked(FileListRowId id, bool checked);

    // Starts a batch over `rows`; false (and nothing starts) while one is still running.
    bool start(std::vector<BatchRow> rows, bool checkedOnly);
    // Every file being converted ends cancelled after its current block; no other starts.
    void requestStop();
    bool isRunning() const { return running_; }
    // Blocks until the running batch, if any, has ended (its last file included).
    void wait();

Q_SIGNALS:
    // The signals of one file come in order; those of files converted at once interleave.
    void fileStarted(kv::FileListRowId id, const QString& source, const QString& output);
    void fileProgress(kv::FileListRowId id, double percent);
    // `output` is empty when no output file is left; `error` says why a file failed.
    void fileFinished(kv::FileListRowId id, kv::FileOutcome outcome, const QString& output,
                      const QString& error);
    // A row abandoned because its output folder cannot be made; it keeps its status.
    void fileSkipped(kv::FileListRowId id, const QString& source, const QString& error);
    // The output folder is missing although creating it reported no failure.
    void outputFolderMissing();
    // After the last file of the batch has ended; `anyStarted` when a waiting row was taken
    // with a format chosen.
    void finished(bool anyStarted);

private:
    class Control;
    struct Walk;
    struct Job;
    bool run(const std::vector<BatchRow>& rows, bool checkedOnly, int jobs);
    void work(Walk& walk);
    bool nextJob(Walk& walk, Job& job, std::unique_lock<std::mutex>& lock);
    bool isChecked(const BatchRow& row) const;

    QHash<int, Converter> converters_;
    mutable QMutex mutex_;
    ConversionOptions options_;
    QHash<FileListRowId, bool> checks_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    // Guards the walk over the rows; `discFreed` wakes a worker waiting for a disc (a drive
    // reads one track at a time) and every waiter on a Stop.
    std::mutex walkMutex_;
    std::condition_variable discFreed_;
    std::unique_ptr<QThread> worker_;
};

} // namespace kv
