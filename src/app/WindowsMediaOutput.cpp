#include "app/WindowsMediaOutput.h"

#include "app/frmMain.h"
#include "formats/WmaFormat.h"
#include "formats/WmaSupport.h"
#include "lang/Captions.h"
#include "settings/DeploymentSettings.h"
#include "settings/ProgramFolder.h"
#include "ui/DesktopOpener.h"
#include "ui/DownloadDialog.h"
#include "ui/FramePanel.h"
#include "ui/MessageBox.h"
#include "ui/MyButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QUrl>

namespace kv {

namespace {
const QString kInstallerFile = QStringLiteral("wmfdist.exe");
const QString kInstallerName = QStringLiteral("Windows Media Format 9.0...");
} // namespace

WindowsMediaOutput::WindowsMediaOutput(frmMain& window) : QObject(&window), w_(window) {
    connect(w_.chkWMAFileTags, &QCheckBox::toggled, this, &WindowsMediaOutput::ApplyTagsRule);
    connect(w_.cmdDownloadWMF, &QPushButton::clicked, this,
            &WindowsMediaOutput::cmdDownloadWMF_Click);
    connect(w_.cmdOpenWMSite, &QPushButton::clicked, this,
            &WindowsMediaOutput::cmdOpenWMSite_Click);
    ApplyTagsRule();
}

Converter WindowsMediaOutput::converter() {
    // Looked at on the window's thread only: the batch's worker may outlive this object.
    const QPointer<WindowsMediaOutput> self(this);
    return [self](const QString& source, const QString& output, const ConversionOptions& options,
                  ConversionControl& control) {
        WmaBitrateChoice choice;
        const FileOutcome outcome = ConvertToWMA(source, output, options.wma, control, &choice);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, choice] {
                if (self)
                    self->ShowBitrates(choice);
            },
            Qt::QueuedConnection);
        return outcome;
    };
}

void WindowsMediaOutput::ShowBitrates(const WmaBitrateChoice& choice) {
    QComboBox* list = w_.cmbWMAEncodingBitrate;
    list->clear();
    for (qsizetype i = 0; i < choice.entries.size(); ++i)
        list->addItem(choice.entries[i], choice.itemData.value(i));
    list->setCurrentIndex(choice.selected);
}

void WindowsMediaOutput::ApplyTagsRule() {
    const bool on = w_.chkWMAFileTags->isChecked();
    for (QLineEdit* box : w_.txtWMATags)
        box->setEnabled(on);
}

void WindowsMediaOutput::CheckAtStartup() {
    supported_ = CheckWMASupport();
    if (supported_)
        return;
    w_.frFormat[4]->show();
    w_.frFormat[4]->raise();
}

void WindowsMediaOutput::ProbeFailed(const QString& path) {
    if (IsWindowsMediaPath(path) && !CheckWMASupport())
        OfferWindowsMediaInstall();
}

void WindowsMediaOutput::OfferWindowsMediaInstall() {
    const QString text =
        QStringList{
            GetCaption(30007, QStringLiteral("Your System does not support Windows Media Audio "
                                             "Encoding. To Support it, you have to do one of "
                                             "the following")),
            GetCaption(30008, QStringLiteral("Click Yes to download and install Windows Media "
                                             "Format (~3.9 MB).")),
            GetCaption(30009, QStringLiteral("Click No to open Microsoft Media Player web site "
                                             "to download and install Media Player Version 9.0 "
                                             "or later.")),
            GetCaption(30010, QStringLiteral("Click Cancel to manaully install it by yourself."))}
            .join(QLatin1Char('\n'));
    switch (ShowMessage(&w_, MsgIcon::Critical, text, QString(), MsgButtons::YesNoCancel)) {
    case MsgResult::Yes:
        showRestartNote();
        cmdDownloadWMF_Click();
        break;
    case MsgResult::No:
        showRestartNote();
        cmdOpenWMSite_Click();
        break;
    default:
        break;
    }
}

void WindowsMediaOutput::showRestartNote() {
    ShowMessage(&w_, MsgIcon::Information,
                GetCaption(30011, QStringLiteral("You have to restart Kelvanto after installing")));
}

void WindowsMediaOutput::cmdDownloadWMF_Click() {
    const QString local = QDir(WritableFolder()).filePath(kInstallerFile);
    DownloadFile(&w_, ReadDeploymentSettings().wmfInstallerUrl, local, kInstallerName);
    // Only a whole file is ever there: a failed download leaves nothing to open, or the whole
    // file of an earlier one.
    if (QFileInfo(local).isFile())
        OpenWithDesktop(QUrl::fromLocalFile(local));
}

void WindowsMediaOutput::cmdOpenWMSite_Click() {
    OpenWithDesktop(QUrl(ReadDeploymentSettings().wmfDownloadPage));
}

} // namespace kv
