// The batch: the two convert buttons, the controls a batch locks, and the statuses the
// worker reports, written into the list on the window's thread.
#include "app/OptionsPanel.h"
#include "app/Shutdown.h"
#include "app/WindowsMediaOutput.h"
#include "app/frmMain.h"

#include "convert/Converters.h"
#include "convert/StatusWriting.h"
#include "lang/Captions.h"
#include "ui/MessageBox.h"
#include "ui/MyButton.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

namespace kv {
namespace {
const QString kStopCaption = QStringLiteral("Stop");
} // namespace

void frmMain::setupBatch() {
    batch_ = new BatchDriver(this);
    // The window's WMA converter also refills the bitrate list from each file.
    RegisterConverters(*batch_, wma_->converter());
    connect(batch_, &BatchDriver::fileStarted, this,
            [this](FileListRowId id, const QString& source, const QString&) {
                onBatchFileStarted(id, source);
            });
    connect(batch_, &BatchDriver::fileProgress, this, &frmMain::onBatchProgress);
    connect(batch_, &BatchDriver::fileFinished, this,
            [this](FileListRowId id, FileOutcome outcome, const QString&,
                   const QString& reason) { onBatchFileFinished(id, outcome, reason); });
    connect(batch_, &BatchDriver::finished, this, &frmMain::onBatchFinished);
    connect(batch_, &BatchDriver::outputFolderMissing, this, [this] {
        ShowMessage(this, MsgIcon::Critical,
                    GetCaption(30012, QStringLiteral(
                                          "Output Folder is not exist and can not be created.")));
    });
    // The running batch's button reads "Stop" in every language.
    AddStateCaptions([this] {
        if (batchButton_ && !batchStopping_)
            batchButton_->setText(kStopCaption);
    });
    connect(cmdConvert, &QPushButton::clicked, this, &frmMain::cmdConvert_Click);
    connect(cmdConvertSelected, &QPushButton::clicked, this, &frmMain::cmdConvertSelected_Click);

    // The worker reads the options at the start of each file, so every change is passed on.
    connect(options_, &OptionsPanel::changed, this, &frmMain::pushConversionOptions);
    // Ticks changed during a "Convert Selected" batch count for the rows not yet reached.
    connect(model_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                if (!roles.isEmpty() && !roles.contains(Qt::CheckStateRole))
                    return;
                for (int r = from.row(); r <= to.row(); ++r)
                    batch_->setChecked(fileList()->idAt(r), fileList()->row(r).CheckBox != 0);
            });
    pushConversionOptions();
}

ConversionOptions frmMain::CurrentConversionOptions() const {
    return options_->CurrentConversionOptions();
}

void frmMain::pushConversionOptions() {
    batch_->setOptions(CurrentConversionOptions());
}

void frmMain::cmdConvert_Click() {
    startStop(cmdConvert, cmdConvertSelected, false, QStringLiteral("Convert All"));
}

void frmMain::cmdConvertSelected_Click() {
    startStop(cmdConvertSelected, cmdConvert, true, QStringLiteral("Convert Selected"));
}

void frmMain::EnableControls(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{cmdChangeFormat, cmdRemove, cmdPlay, cmdPause,
                                                      cmdStop, cmdPlayPrev, cmdPlayNext, cmdBrowse,
                                                      optSameFolder, optOtherFolder, chkSelectAll,
                                                      cmdAddFile, cmdAddFolder, cmdAddVideoFile})
        w->setEnabled(enabled);
    // Browsing stays off while the outputs go beside their sources.
    if (enabled)
        options_->ApplyFolderRule();
}

void frmMain::startStop(MyButton* own, MyButton* other, bool checkedOnly,
                        const QString& idleCaption) {
    if (fileList()->rowCount() == 0) {
        ShowMessage(this, MsgIcon::Information,
                    QStringLiteral("The list is empty, Please add Audio files from step 1"));
        return;
    }
    // The batch's state decides, not the caption, which a language switch may rewrite.
    if (own == batchButton_ && !batchStopping_) {
        // The file being converted ends cancelled after its current block. Both convert
        // buttons stay off until the worker is done, so no second batch can start meanwhile.
        batch_->requestStop();
        batchStopping_ = true;
        own->setText(idleCaption);
        own->setEnabled(false);
        EnableControls(true);
        return;
    }
    if (batch_->isRunning())
        return;

    std::vector<BatchRow> rows = BatchRowsOf(*fileList());

    own->setText(kStopCaption);
    EnableControls(false);
    other->setEnabled(false);
    batchButton_ = own;
    batchOther_ = other;
    batchIdleCaption_ = idleCaption;

    if (StopPreview)
        StopPreview();
    IsConverting = true;
    pushConversionOptions();
    batch_->start(std::move(rows), checkedOnly);
}

void frmMain::FindGridRow() {
    CurrentRow = fileList()->indexOfPath(CurrentFile);
}

void frmMain::onBatchFileStarted(FileListRowId id, const QString& source) {
    CurrentFile = source;
    FindGridRow();
    // Removal is locked during a batch; the identity check guards against a stale row all
    // the same.
    if (CurrentRow >= 0 && fileList()->idAt(CurrentRow) != id)
        CurrentRow = fileList()->indexOf(id);
}

void frmMain::onBatchProgress(FileListRowId id, double percent) {
    if (IsConverting)
        WriteProgress(*model_, id, percent);
}

void frmMain::onBatchFileFinished(FileListRowId id, FileOutcome outcome, const QString& reason) {
    WriteFinalStatus(*model_, id, outcome);
    // The row says "Error"; its tool tip says why.
    if (outcome == FileOutcome::Error)
        model_->setStatusTip(fileList()->indexOf(id), reason);
}

void frmMain::onBatchFinished(bool anyStarted) {
    IsConverting = false;
    CurrentFile.clear();
    CurrentRow = -1;
    if (anyStarted && chkShutdown->isChecked())
        ShutdownWindows(8);
    if (batchButton_) {
        batchButton_->setText(batchIdleCaption_);
        batchButton_->setEnabled(true);
        batchOther_->setEnabled(true);
    }
    batchButton_ = batchOther_ = nullptr;
    batchStopping_ = false;
    EnableControls(true);
    Q_EMIT batchEnded(anyStarted);
}

} // namespace kv
