// Preview from the window: the buttons' rules, the rows they pick and the error box.
#include "app/PreviewControls.h"

#include "app/frmMain.h"
#include "engine/AudioError.h"
#include "filelist/FileListTable.h"
#include "lang/Captions.h"
#include "ui/MessageBox.h"
#include "ui/MyButton.h"

#include <QItemSelectionModel>
#include <QTableView>

namespace kv {

namespace {
constexpr int kCheckBoxColumn = static_cast<int>(FileListColumn::CheckBox);
constexpr int kFilePathColumn = static_cast<int>(FileListColumn::FilePath);
} // namespace

PreviewControls::PreviewControls(frmMain& window) : QObject(&window), w_(window) {
    connect(w_.cmdPlay, &QPushButton::clicked, this, &PreviewControls::cmdPlay_Click);
    connect(w_.cmdPause, &QPushButton::clicked, this, &PreviewControls::cmdPause_Click);
    connect(w_.cmdStop, &QPushButton::clicked, this, &PreviewControls::cmdStop_Click);
    connect(w_.cmdPlayNext, &QPushButton::clicked, this, &PreviewControls::cmdPlayNext_Click);
    connect(w_.cmdPlayPrev, &QPushButton::clicked, this, &PreviewControls::cmdPlayPrev_Click);
    w_.StopPreview = [this] { cmdStop_Click(); };

    connect(&player_, &PreviewPlayer::failed, this, [this](quint32, int code) {
        // A channel whose sink would not start waits for "Resume", which tries again; "Pause"
        // would only answer with a second box.
        if (player_.state() == PreviewPlayer::State::Halted)
            setPauseCaption(true);
        showPlaybackError(code);
    });
    // A preview that ended by itself (its file went, the sound server went) is over as after
    // "Stop".
    connect(&player_, &PreviewPlayer::ended, this, [this] { setPauseCaption(false); });
    // Nothing plays on while the window closes and the engine is released.
    connect(&w_, &frmMain::closing, this, [this] {
        if (player_.channel() != 0)
            player_.stop();
    });
}

PreviewControls::~PreviewControls() {
    w_.StopPreview = nullptr;
}

QString PreviewControls::captionForState() const {
    return showsResume_ ? GetCaption(100016, QStringLiteral("Resume"))
                        : GetCaption(10016, QStringLiteral("Pause"));
}

void PreviewControls::setPauseCaption(bool resume) {
    showsResume_ = resume;
    w_.cmdPause->setText(captionForState());
}

void PreviewControls::showPlaybackError(int code) {
    // The language file's text loses its trailing blank when it is read.
    const QString text = GetCaption(30006, QStringLiteral("(Error code:")) + QLatin1Char(' ') +
                         QString::number(code) + QLatin1Char(')');
    ShowMessage(&w_, MsgIcon::Critical, text);
}

void PreviewControls::PlayFile(const QString& path) {
    if (player_.channel() != 0)
        StopPreview();
    // The file opens on the player's thread: one that no opener takes ends quietly, a sink
    // that will not start comes back as the error box.
    player_.play(path);
}

void PreviewControls::PausePreview() {
    if (!player_.pause())
        showPlaybackError(AudioErrorGetCode());
}

void PreviewControls::ResumePreview() {
    if (!player_.resume())
        showPlaybackError(AudioErrorGetCode());
}

void PreviewControls::StopPreview() {
    if (!player_.stop())
        showPlaybackError(AudioErrorGetCode());
}

QString PreviewControls::pathOfRow(int gridRow) const {
    const QAbstractItemModel* m = w_.Grid->model();
    return m->index(gridRow, kFilePathColumn).data().toString();
}

void PreviewControls::selectRow(int gridRow, bool selected) {
    const QAbstractItemModel* m = w_.Grid->model();
    w_.Grid->selectionModel()->select(
        m->index(gridRow, 0),
        (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
            QItemSelectionModel::Rows);
}

void PreviewControls::PlayChosenRow() {
    const QAbstractItemModel* m = w_.Grid->model();
    QItemSelectionModel* sel = w_.Grid->selectionModel();
    // The active row counts as selected, and so does every row with a selected cell; the
    // marks stay.
    const QModelIndex active = w_.Grid->currentIndex();
    if (active.isValid()) {
        sel->select(m->index(active.row(), kFilePathColumn), QItemSelectionModel::Select);
        sel->select(active, QItemSelectionModel::Select);
    }
    const QModelIndexList cells = sel->selectedIndexes();
    for (auto it = cells.crbegin(); it != cells.crend(); ++it)
        sel->select(m->index(it->row(), kCheckBoxColumn), QItemSelectionModel::Select);

    // The lowest chosen row plays.
    for (int row = m->rowCount() - 1; row >= 0; --row) {
        if (sel->isRowSelected(row) || sel->isSelected(m->index(row, kCheckBoxColumn))) {
            w_.PreviewPath = pathOfRow(row);
            PlayFile(w_.PreviewPath);
            return;
        }
    }
}

bool PreviewControls::PlayNextRow() {
    if (w_.PreviewPath.isEmpty())
        return false;
    const int rows = w_.Grid->model()->rowCount();
    if (rows == 0)
        return false;
    int row = 0;
    bool found = false;
    if (pathOfRow(row) == w_.PreviewPath) {
        selectRow(row, false);
        found = true;
    }
    while (row + 1 < rows) {
        ++row;
        if (found) {
            selectRow(row, true);
            w_.PreviewPath = pathOfRow(row);
            PlayFile(w_.PreviewPath);
            return true;
        }
        // The last row stays as it is: there is nothing after it to play.
        if (pathOfRow(row) == w_.PreviewPath && row + 1 < rows) {
            selectRow(row, false);
            found = true;
        }
    }
    return false;
}

bool PreviewControls::PlayPreviousRow() {
    if (w_.PreviewPath.isEmpty())
        return false;
    const int rows = w_.Grid->model()->rowCount();
    if (rows == 0)
        return false;
    int row = rows - 1;
    bool found = false;
    if (pathOfRow(row) == w_.PreviewPath) {
        selectRow(row, false);
        found = true;
    }
    while (row > 0) {
        --row;
        if (found) {
            selectRow(row, true);
            w_.PreviewPath = pathOfRow(row);
            PlayFile(w_.PreviewPath);
            return true;
        }
        if (pathOfRow(row) == w_.PreviewPath && row > 0) {
            selectRow(row, false);
            found = true;
        }
    }
    return false;
}

void PreviewControls::cmdPlay_Click() {
    if (player_.channel() != 0)
        StopPreview();
    PlayChosenRow();
    setPauseCaption(false);
}

void PreviewControls::cmdPause_Click() {
    if (player_.channel() == 0)
        return;
    // The caption changes even when the player refused.
    if (!showsResume_) {
        PausePreview();
        setPauseCaption(true);
    } else {
        ResumePreview();
        setPauseCaption(false);
    }
}

void PreviewControls::cmdStop_Click() {
    if (player_.channel() == 0)
        return;
    StopPreview();
    setPauseCaption(false);
}

// With no row to move to, the preview goes on as it was, paused or not, and so does the
// caption: "Pause" over a paused stream would answer the next click with an error box.
void PreviewControls::cmdPlayNext_Click() {
    if (PlayNextRow())
        setPauseCaption(false);
}

void PreviewControls::cmdPlayPrev_Click() {
    if (PlayPreviousRow())
        setPauseCaption(false);
}

} // namespace kv
