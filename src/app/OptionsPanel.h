#pragma once

#include "convert/BatchDriver.h"
#include "settings/OutputSettings.h"

#include <QObject>

class QWidget;

namespace kv {

class frmMain;

// The options panel and the output folder choice of the main window: the enable rules, the
// format pages, the summary line, the folder picker, and the output settings loaded into and
// saved from the controls. The controls belong to the window; this class holds their logic.
class OptionsPanel : public QObject {
    Q_OBJECT
public:
    explicit OptionsPanel(frmMain& window);

    // The stored values into the controls, step by step; a value a control cannot take
    // leaves that control as it was. Clears the window's bLoading before the encoder
    // controls are set.
    void LoadSettings();
    // The controls into the store. Nothing is written before LoadSettings has run, so a
    // window that never loaded cannot overwrite the saved choices with its design state.
    void SaveSettings();
    // "Restore Defaults": the stored section goes, then every control takes its default.
    void RestoreDefaults();
    // The summary line under the output folder; kept when there is nothing to say.
    void UpdateFormatSummary();
    // The folder picker of cmdBrowse; cancelling keeps the folder.
    void Browse();
    // txtOutPath and cmdBrowse are usable unless optSameFolder is selected.
    void ApplyFolderRule();

    // The settings as the controls show them now.
    OutputSettings Values() const;
    // What a batch reads: the settings plus the WMA tags and bitrate choice.
    ConversionOptions CurrentConversionOptions() const;

Q_SIGNALS:
    // A control whose value a batch reads has changed.
    void changed();

private:
    QWidget* control(OutputSetting id) const;
    void setControl(OutputSetting id, int number);
    void applyStored(CRegister& reg, OutputSetting first, OutputSetting last);
    void applyMp3Rule();
    void applyOggRule();

    frmMain& w_;
    bool loaded_ = false;
    // The stored values, kept for the settings this panel has no control for.
    OutputSettings stored_;
};

} // namespace kv
