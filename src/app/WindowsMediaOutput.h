#pragma once

#include "convert/BatchDriver.h"
#include "formats/WmaBitrates.h"

#include <QObject>
#include <QString>

namespace kv {

class frmMain;

// The window's side of WMA output: the tag boxes' rule, the bitrate list the last WMA file
// was given, the batch's WMA converter, the start-up support check with its notice panel
// (frFormat 4) and its two buttons, and the install offer for Windows Media files the length
// probe cannot open. The window holds one and wires it.
class WindowsMediaOutput : public QObject {
    Q_OBJECT
public:
    explicit WindowsMediaOutput(frmMain& window);

    // The converter the batch runs for WMA; it refills cmbWMAEncodingBitrate, on the window's
    // thread, with the list each file's bitrate was chosen from.
    Converter converter();
    void ShowBitrates(const WmaBitrateChoice& choice);

    // The eight tag boxes are usable while chkWMAFileTags is ticked.
    void ApplyTagsRule();

    // Runs CheckWMASupport; a failure brings the notice panel to the front.
    void CheckAtStartup();
    bool supported() const { return supported_; }

    // The length probe could not open `path`: for a Windows Media file while WMA cannot be
    // encoded, the install offer.
    void ProbeFailed(const QString& path);
    void OfferWindowsMediaInstall();

    // Downloads the installer beside the program and hands it to the desktop.
    void cmdDownloadWMF_Click();
    // The media player's download page, in the desktop's browser.
    void cmdOpenWMSite_Click();

private:
    void showRestartNote();

    frmMain& w_;
    bool supported_ = true;
};

} // namespace kv
