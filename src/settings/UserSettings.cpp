#include "settings/UserSettings.h"

#include "settings/RegularFile.h"
#include "settings/SettingsFile.h"

#include <QSettings>

namespace kv {

UserSettings::UserSettings(const QString& name) : path_(UserSettingsPath(name)) {}

QVariant UserSettings::value(const QString& key, const QVariant& defaultValue) const {
    if (StatRegularFile(path_, kMaxSettingsFileBytes) != FileState::Regular)
        return defaultValue;
    return QSettings(path_, QSettings::IniFormat).value(key, defaultValue);
}

bool UserSettings::setValue(const QString& key, const QVariant& value) {
    if (!SettingsFileReplaceable(path_))
        return false;
    QSettings s(path_, QSettings::IniFormat);
    s.setValue(key, value);
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace kv
