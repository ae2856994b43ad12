#include "settings/DeploymentSettings.h"

#include "settings/ProgramFolder.h"
#include "settings/RegularFile.h"

#include <QDir>

namespace kv {
namespace {

// What data/Deployment.ini ships with, for a program folder without it.
DeploymentSettings shipped() {
    return {QStringLiteral("https://download.kelvanto.example.org/download/WMFDIST.EXE"),
            QStringLiteral(
                "https://www.microsoft.com/downloads/Browse.aspx?displaylang=en&categoryid=4"),
            QStringLiteral("https://kelvanto.example.org")};
}

} // namespace

DeploymentSettings ReadDeploymentSettings() {
    DeploymentSettings s = shipped();
    // Only a regular file of a settings file's size: a FIFO or a device in its place would
    // hold the window.
    const RegularFileRead file =
        ReadRegularFile(QDir(ProgramFolder()).filePath(kDeploymentFile), kMaxSettingsFileBytes);
    if (file.state != FileState::Regular)
        return s;
    // A reader of our own: QSettings would split an address with a comma into a list.
    bool inSection = false;
    for (const QByteArray& bytes : file.bytes.split('\n')) {
        const QString line = QString::fromUtf8(bytes).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line.compare(QLatin1String("[Addresses]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inSection || eq <= 0)
            continue;
        const QString name = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (value.isEmpty())
            continue;
        if (name.compare(QLatin1String("WMFInstaller"), Qt::CaseInsensitive) == 0)
            s.wmfInstallerUrl = value;
        else if (name.compare(QLatin1String("WMFDownloadPage"), Qt::CaseInsensitive) == 0)
            s.wmfDownloadPage = value;
        else if (name.compare(QLatin1String("WebSite"), Qt::CaseInsensitive) == 0)
            s.webSite = value;
    }
    return s;
}

} // namespace kv
