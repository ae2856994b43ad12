#pragma once

#include "convert/OutputNaming.h"
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

// The output formats, in the order of the format buttons.
// (FLAC, Opus and M4A are encoded in-process: see formats/Format.h.)
enum OutputFormat : int {
    kFormatWAV = 0,
    kFormatWMA = 1,
    kFormatMP3 = 2,
    kFormatOGG = 3,
    kFormatFLAC = 4,
    kFormatOpus = 5,
    kFormatM4A = 6,
};
// "wav", "wma", "mp3", "ogg", "flac", "opus", "m4a"; "" for no format.
QString OutputExtension(int format);

// How an encoder picks its bitrate; None while no mode button is selected.
enum class BitrateMode { None, Constant, Average, Variable };

// The encoder options as the options panel shows them (see ConversionOptionsFrom).
struct Mp3Options {
    BitrateMode mode = BitrateMode::None;
    int constantKbps = 0;    // cmbMP3CBitrate
    int averageKbps = 0;     // cmbMP3ABitrate
    int vbrValue = 0;        // SliderMP3VBR, 0 to 9
    int encoderQuality = 0;  // SliderMP3EncoderQuality, 0 to 9
    int freqIndex = 0;       // cmbMP3Freq, 0 for "Auto Sampling"
    int stereoModeIndex = 0; // cmbMP3StereoMode, 0 "Mono" to 4 "Dual Channels"
    bool operator==(const Mp3Options&) const = default;
};

struct OggOptions {
    BitrateMode mode = BitrateMode::None; // Constant or Variable
    int constantKbps = 0;                 // cmbOGGCBitrate
    int variableKbps = 0;                 // cmbOGGVBitrate
    int quality = 0;                      // sliderOGG, -2 to 10
    bool operator==(const OggOptions&) const = default;
};

struct WmaOptions {
    int quality = 0;                 // sliderWMA, 0 to 100
    int bitrateIndex = -1;           // the choice in cmbWMAEncodingBitrate, -1 while it is empty
    bool tags = false;               // chkWMAFileTags
    std::array<QString, 8> tagTexts; // txtWMATags
    bool operator==(const WmaOptions&) const = default;
};

// What a batch reads at the start of every file: a change during a batch applies from the
// next file on.
struct ConversionOptions {
    int outputFormat = -1; // -1 when no format button is selected
    OutputFolderChoice folder;
    Mp3Options mp3;
    OggOptions ogg;
    WmaOptions wma;
    // Files converted at once (spnSimultaneous); read when a batch starts.
    int jobs = 1;
    bool copyTags = true; // chkCopyTags: the source's tags into every "Complete" output
    // Every output setting, for the formats that read their own (formats/Format.h).
    OutputSettings settings;
    bool operator==(const ConversionOptions&) const = default;
};

// The most files a batch converts at once, whatever is asked.
inline constexpr int kMaxJobs = 64;
// One file at a time for each core the system reports.
int JobsPerCore();

enum class FileOutcome { Complete, Cancelled, Error };

// What a converter sees of the batch: the stop flag, polled after every block, and where its
// progress goes.
class ConversionControl {
public:
    virtual ~ConversionControl() = default;
    virtual bool stopRequested() const = 0;
    // Percent of the file done (0 to 100).
    virtual void progress(double percent) = 0;
    // Why the file failed: the file concerned and the system's reason.
    virtual void reportError(const QString& reason) { Q_UNUSED(reason) }
};

// Converts `source` into `output`, which the batch has claimed for it: an empty file that
// belongs to this conversion alone, held open by the batch (take it with OpenClaimedOutput;
// remove it on failure with RemoveOwnOutput, never by name alone). On Error the batch removes
// the claimed file if it is still empty and still at its name.
using Converter =
    std::function<FileOutcome(const QString& source, const QString& output,
                              const ConversionOptions& options, ConversionControl& control)>;

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

Q_DECLARE_METATYPE(kv::FileOutcome)
