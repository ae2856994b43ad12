#pragma once

#include "engine/PreviewPlayer.h"

#include <QObject>
#include <QString>

namespace kv {

class frmMain;

// The window's five preview buttons: which row of the grid they play, the pause button's
// caption, and the playback error box. The window holds one; it wires the buttons and the
// window's StopPreview hook (removing the previewed row, starting a batch) to the "Stop"
// action. `PreviewPath` stays the window's.
class PreviewControls : public QObject {
    Q_OBJECT
public:
    explicit PreviewControls(frmMain& window);
    ~PreviewControls() override;

    PreviewPlayer& player() { return player_; }
    // The channel being previewed; 0 when none.
    quint32 PreviewChannel() const { return player_.channel(); }
    // The pause button's caption for the preview's state, in the current language: "Resume"
    // while paused, else "Pause". The window's caption pass uses it too.
    QString captionForState() const;

    void PlayFile(const QString& path);
    void PausePreview();
    void ResumePreview();
    void StopPreview();
    // The row "Play" plays: the lowest selected row, or the active row.
    void PlayChosenRow();
    // The row after (before) the row of PreviewPath; nothing at either end. True when a row
    // was handed to PlayFile.
    bool PlayNextRow();
    bool PlayPreviousRow();

    void cmdPlay_Click();
    void cmdPause_Click();
    // The "Stop" action.
    void cmdStop_Click();
    void cmdPlayNext_Click();
    void cmdPlayPrev_Click();

private:
    void showPlaybackError(int code);
    void setPauseCaption(bool resume);
    QString pathOfRow(int gridRow) const;
    void selectRow(int gridRow, bool selected);

    frmMain& w_;
    PreviewPlayer player_;
    bool showsResume_ = false;
};

} // namespace kv
