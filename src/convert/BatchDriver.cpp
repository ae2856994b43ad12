#include "convert/BatchDriver.h"

#include <QFileInfo>
#include <QMutexLocker>

#include <cmath>

namespace kv {

QString OutputExtension(int format) {
    switch (format) {
    case kFormatWAV:
        return QStringLiteral("wav");
    case kFormatWMA:
        return QStringLiteral("wma");
    case kFormatMP3:
        return QStringLiteral("mp3");
    case kFormatOGG:
        return QStringLiteral("ogg");
    default:
        return QString();
    }
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
    stop_ = false;
    running_ = true;
    worker_.reset(QThread::create([this, rows = std::move(rows), checkedOnly] {
        const bool anyStarted = run(rows, checkedOnly);
        stop_ = false;
        running_ = false;
        Q_EMIT finished(anyStarted);
    }));
    worker_->start();
    return true;
}

void BatchDriver::wait() {
    if (worker_)
        worker_->wait();
}

bool BatchDriver::run(const std::vector<BatchRow>& rows, bool checkedOnly) {
    bool anyStarted = false;
    for (const BatchRow& row : rows) {
        if (stop_)
            break;
        if (!row.waiting || (checkedOnly && !isChecked(row)))
            continue;
        anyStarted = true;
        const ConversionOptions opts = options();
        const QString extension = OutputExtension(opts.outputFormat);
        // No format chosen: nothing is done for the row.
        if (extension.isEmpty())
            continue;
        const auto converter = converters_.constFind(opts.outputFormat);
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
        Control control(*this, row.id);
        // Without a name of its own, or without a converter for the format, the file fails.
        FileOutcome outcome = FileOutcome::Error;
        if (!named)
            control.error = name.error;
        else if (converter == converters_.constEnd())
            control.error = QStringLiteral("%1 output is not available").arg(extension);
        else
            outcome = (*converter)(row.path, name.path, opts, control);
        if (outcome == FileOutcome::Error)
            ReleaseOutputClaim(name);
        const bool kept = named && QFileInfo(name.path).isFile();
        Q_EMIT fileFinished(row.id, outcome, kept ? name.path : QString(), control.error);
    }
    return anyStarted;
}

} // namespace kv
