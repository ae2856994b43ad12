#pragma once

#include <QString>

namespace kv {

// Addresses that belong to a deployment rather than to the program: a packager changes them
// in "Deployment.ini" in the program folder, without a rebuild.
struct DeploymentSettings {
    QString wmfInstallerUrl; // the Windows Media Format installer on the maker's server
    QString wmfDownloadPage; // the media player's download page
    QString webSite;         // the maker's web address
};

// The file's name in the program folder.
inline const QString kDeploymentFile = QStringLiteral("Deployment.ini");

// Reads the [Addresses] section of the program folder's Deployment.ini (names without regard
// to case). A missing file, section or value gives the address the program ships with.
DeploymentSettings ReadDeploymentSettings();

} // namespace kv
