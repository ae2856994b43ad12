#include "TestSupport.h"

#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

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
    kv::SetProgramFolder(path());
    ClearUserSettings();
}

ProgramFolderFixture::~ProgramFolderFixture() {
    kv::SetProgramFolder(QString());
    ClearUserSettings();
}

void ProgramFolderFixture::writeFile(const QString& relative, const QByteArray& bytes) const {
    const QString full = path() + QLatin1Char('/') + relative;
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
    QFile::remove(OutputSettingsFile());
}

namespace {
const QByteArray kOutputSection = "[HKEY_LOCAL_MACHINE\\Software\\Quorvane Kelvanto\\Settings]";
}

// Written and read as plain lines, not through the program's own reader.
void StoreOutputSettings(const StoredValues& values, const QString& file) {
    QByteArray text = kOutputSection + '\n';
    for (const auto& [name, value] : values)
        text += name.toUtf8() + '=' + value.toUtf8() + '\n';
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(text);
}

StoredValues StoredOutputSettings(const QString& file) {
    QFile f(file);
    StoredValues values;
    if (!f.open(QIODevice::ReadOnly))
        return values;
    bool inSection = false;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith('['))
            inSection = line == kOutputSection;
        else if (inSection && line.contains('='))
            values[QString::fromUtf8(line.left(line.indexOf('=')))] =
                QString::fromUtf8(line.mid(line.indexOf('=') + 1));
    }
    return values;
}

QString OutputSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kelvanto/Settings.ini");
}

QString SourceDataFolder() {
    return QStringLiteral(KV_SOURCE_DIR "/data");
}

} // namespace kvtest
