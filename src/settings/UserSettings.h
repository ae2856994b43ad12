#pragma once

#include <QSettings>

namespace kv {

// The per-user application settings in the user's configuration location ("Kelvanto" holds
// the language choice). The output settings have a file of their own (CRegister).
class UserSettings : public QSettings {
public:
    explicit UserSettings(const QString& file)
        : QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kelvanto"), file) {}
};

} // namespace kv
