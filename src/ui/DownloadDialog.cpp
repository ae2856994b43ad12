#include "ui/DownloadDialog.h"

#include "settings/ProgramFolder.h"
#include "ui/MessageBox.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QIcon>
#include <QProgressDialog>

namespace kv {

DownloadOutcome DownloadFile(QWidget* parent, const QString& url, const QString& destination,
                             const QString& displayName) {
    if (!NetworkConnected()) {
        ShowMessage(parent, MsgIcon::NoIcon, QStringLiteral("You are not connected to internet"));
        return DownloadOutcome::NotConnected;
    }
    const QString title = QStringLiteral("Downloading ") + displayName;
    QProgressDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("dlgDownload"));
    dialog.setWindowTitle(title);
    dialog.setLabelText(title + QLatin1Char('\n') + title + QStringLiteral(", Please wait...."));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(0);
    dialog.setRange(0, 0); // busy until the size is known
    // The program folder's small image marks the dialog as ours.
    if (const QString image = ProgramFolder() + QStringLiteral("/icon.bmp");
        QFileInfo(image).isFile())
        dialog.setWindowIcon(QIcon(image));

    FileDownload download(QUrl(url), destination);
    QEventLoop loop;
    QObject::connect(&download, &FileDownload::progress, &dialog,
                     [&dialog](qint64 received, qint64 total) {
                         if (total <= 0)
                             return;
                         dialog.setRange(0, 100);
                         dialog.setValue(static_cast<int>(received * 100 / total));
                     });
    QObject::connect(&dialog, &QProgressDialog::canceled, &download, &FileDownload::cancel);
    QObject::connect(&download, &FileDownload::finished, &loop, &QEventLoop::quit);
    dialog.show();
    download.start();
    if (download.outcome() == DownloadOutcome::Running)
        loop.exec();
    dialog.hide();

    if (download.outcome() == DownloadOutcome::Failed)
        ShowMessage(parent, MsgIcon::Critical,
                    title + QStringLiteral(" failed: ") + download.errorText());
    return download.outcome();
}

} // namespace kv
