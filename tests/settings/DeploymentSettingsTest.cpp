// The deployment's addresses: the shipped file, a packager's changes, and what a missing or
// broken file falls back to.
#include "settings/DeploymentSettings.h"

#include "TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace kv;

namespace {
const QString kInstaller =
    QStringLiteral("https://download.kelvanto.example.org/download/WMFDIST.EXE");
const QString kPage =
    QStringLiteral("https://www.microsoft.com/downloads/Browse.aspx?displaylang=en&categoryid=4");
const QString kSite = QStringLiteral("https://kelvanto.example.org");
} // namespace

TEST(DeploymentSettings, ReadFromTheProgramFolder) {
    QFile shippedFile(kvtest::SourceDataFolder() + QStringLiteral("/Deployment.ini"));
    ASSERT_TRUE(shippedFile.open(QIODevice::ReadOnly));
    const QByteArray shipped = shippedFile.readAll();
    const struct {
        const char* name;
        std::optional<QByteArray> file; // nothing: no file at all
        QString installer, page, site;
    } cases[] = {
        {"no file", std::nullopt, kInstaller, kPage, kSite},
        {"the shipped file", shipped, kInstaller, kPage, kSite},
        {"a packager's addresses, names in any case, blanks around",
         "; ours\n[addresses]\n  wmfinstaller = http://mirror.test/a,b.exe \n"
         "WMFDownloadPage=https://p.test/x?a=1&b=2\nWEBSITE=https://s.test\n",
         "http://mirror.test/a,b.exe", "https://p.test/x?a=1&b=2", "https://s.test"},
        {"values outside the section and empty values are not taken",
         "WebSite=https://wrong.test\n[Other]\nWMFInstaller=https://wrong.test\n"
         "[Addresses]\nWMFDownloadPage=\nWebSite=https://right.test\n",
         kInstaller, kPage, "https://right.test"},
        {"a file that is not text", QByteArray("\x00\xff\xfe[\x01=", 6), kInstaller, kPage, kSite},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kvtest::ProgramFolderFixture folder;
        if (c.file)
            folder.writeFile(kDeploymentFile, *c.file);
        const DeploymentSettings s = ReadDeploymentSettings();
        EXPECT_EQ(s.wmfInstallerUrl, c.installer);
        EXPECT_EQ(s.wmfDownloadPage, c.page);
        EXPECT_EQ(s.webSite, c.site);
    }
}
