#pragma once

#include <QSettings>

namespace kv {

// One of the program's INI files in the user's configuration location: "Kelvanto" holds the
// language choice, "Settings" the output settings.
class UserSettings : public QSettings {
public:
    explicit UserSettings(const QString& file)
        : QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kelvanto"), file) {}
};

} // namespace kv
