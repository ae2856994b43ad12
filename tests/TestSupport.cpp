#include "TestSupport.h"

#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace kvtest {

kv::MsgResult RecordingMessageBoxes::show(QWidget*, const kv::MessageRequest& request) {
    shown.push_back(request);
    if (onShow)
        onShow(request);
    if (answers.empty())
        return kv::MsgResult::Ok;
    const kv::MsgResult r = answers.front();
    answers.pop_front();
    return r;
}

ProgramFolderFixture::ProgramFolderFixture() {
    QDir().mkpath(langFolder());
    kv::SetProgramFolder(dir_.path());
    ClearUserSettings();
}

ProgramFolderFixture::~ProgramFolderFixture() {
    kv::SetProgramFolder(QString());
    ClearUserSettings();
}

void ProgramFolderFixture::writeFile(const QString& relative, const QByteArray& bytes) const {
    const QString full = dir_.path() + QLatin1Char('/') + relative;
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile f(full);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

void ProgramFolderFixture::copyShippedLanguages() const {
    const QDir src(SourceDataFolder() + QStringLiteral("/Lang"));
    for (const QString& name : src.entryList(QDir::Files))
        QFile::copy(src.filePath(name), langFolder() + QLatin1Char('/') + name);
}

void ClearUserSettings() {
    QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kelvanto"),
                QStringLiteral("Kelvanto"));
    s.clear();
    s.sync();
}

QString SourceDataFolder() {
    return QStringLiteral(KV_SOURCE_DIR "/data");
}

} // namespace kvtest
