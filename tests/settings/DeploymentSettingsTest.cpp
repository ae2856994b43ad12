// The deployment's addresses: the shipped file, a packager's changes, and what a missing or
// broken file falls back to.
#include "settings/DeploymentSettings.h"

#include "MediaTools.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(DeploymentSettings, ReadFromTheProgramFolder) {
    const QString installer = "https://download.kelvanto.example.org/download/WMFDIST.EXE";
    const QString page =
        "https://www.microsoft.com/downloads/Browse.aspx?displaylang=en&categoryid=4";
    const QString site = "https://kelvanto.example.org";
    const struct {
        std::optional<QByteArray> file; // nothing: no file at all
        QStringList expected;           // installer, page, site
    } cases[] = {
        {std::nullopt, {installer, page, site}},
        {kvtest::ReadBytes(kvtest::SourceDataFolder() + "/Deployment.ini"),
         {installer, page, site}},
        // Names in any case, blanks around, a comma kept; values outside the section and empty
        // values are not taken.
        {"WebSite=https://wrong.test\n[Other]\nWMFInstaller=https://wrong.test\n; ours\n"
         "[addresses]\n wmfinstaller = http://m.test/a,b.exe \nWMFDownloadPage=\nWEBSITE=x:y\n",
         {"http://m.test/a,b.exe", page, "x:y"}},
        {QByteArray("\x00\xff\xfe[\x01=", 6), {installer, page, site}},
    };
    for (const auto& c : cases) {
        kvtest::ProgramFolderFixture folder;
        if (c.file)
            folder.writeFile(kv::kDeploymentFile, *c.file);
        const kv::DeploymentSettings s = kv::ReadDeploymentSettings();
        EXPECT_EQ(QStringList({s.wmfInstallerUrl, s.wmfDownloadPage, s.webSite}), c.expected);
    }
}
