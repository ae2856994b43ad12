#include "settings/CRegister.h"

#include "settings/RegularFile.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

#include <optional>

namespace kv {
namespace {

// The section's unnamed value, as registry files write it.
const QString kUnnamed = QStringLiteral("@");

QString storePath() {
    return UserSettingsPath(QStringLiteral("Settings"));
}

QString sectionOf(RegRoot root, const QString& normalizedSection) {
    QString path = root == RegRoot::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE")
                                                 : QStringLiteral("HKEY_CURRENT_USER");
    if (!normalizedSection.isEmpty())
        path += QLatin1Char('\\') + normalizedSection;
    return path;
}

QString nameOf(const QString& key) {
    return key == QLatin1String("*") ? kUnnamed : key;
}

// A save or a delete reads, changes and replaces the whole file; two programs doing so at once
// take turns, so neither undoes the other's change. A lock that cannot be had within a moment
// (an unwritable folder, a hung holder) does not stop the change.
class FileChange {
public:
    FileChange() : path_(storePath()) {
        // Neither a store nor a lock that the program does not read is touched (the locker
        // reads the lock, which could be a FIFO).
        if (!SettingsFileReplaceable(path_))
            return;
        QDir().mkpath(QFileInfo(path_).absolutePath());
        lock_.emplace(path_ + QStringLiteral(".lock"));
        lock_->tryLock(2000);
        file_ = SettingsFile::read(path_, &readable_);
    }
    // A file that is there but cannot be read is never written over.
    bool readable() const { return readable_; }
    SettingsFile& file() { return file_; }
    bool commit() { return file_.write(path_); }

private:
    QString path_;
    std::optional<QLockFile> lock_;
    SettingsFile file_;
    bool readable_ = false;
};

} // namespace

QString CRegister::NormalizeKeyPath(const QString& path) {
    QString p = path;
    if (p.startsWith(QLatin1Char('\\')))
        p.remove(0, 1);
    if (p.endsWith(QLatin1Char('\\')))
        p.chop(1);
    return p;
}

QString CRegister::REGGetSetting(RegRoot root, const QString& section, const QString& key,
                                 const QString& defaultValue) {
    const std::shared_ptr<const SettingsFile> file = read_.get(storePath(), &SettingsFile::parse);
    const std::optional<QString> value =
        file ? file->value(sectionOf(root, NormalizeKeyPath(section)), nameOf(key)) : std::nullopt;
    // An empty value reads as missing.
    return value.value_or(QString()).isEmpty() ? defaultValue : *value;
}

bool CRegister::REGSaveSetting(RegRoot root, const QString& section, const QString& key,
                               const QString& value) {
    FileChange change;
    if (!change.readable())
        return false;
    change.file().setValue(sectionOf(root, NormalizeKeyPath(section)), nameOf(key), value);
    return change.commit();
}

bool CRegister::REGSaveSettings(RegRoot root, const QString& section,
                                const QList<std::pair<QString, QString>>& values) {
    FileChange change;
    if (!change.readable())
        return false;
    const QString path = sectionOf(root, NormalizeKeyPath(section));
    for (const auto& [key, value] : values)
        change.file().setValue(path, nameOf(key), value);
    return change.commit();
}

bool CRegister::REGDeleteSetting(RegRoot root, const QString& section, const QString& key) {
    FileChange change;
    if (!change.readable())
        return false;
    const QString path = sectionOf(root, NormalizeKeyPath(section));
    // An empty key takes the whole section, with every value in it.
    const bool found =
        key.isEmpty() ? change.file().removeSection(path) : change.file().remove(path, nameOf(key));
    return found && change.commit();
}

} // namespace kv
