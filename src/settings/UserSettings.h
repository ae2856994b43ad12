#pragma once

#include <QString>
#include <QVariant>

namespace kv {

// The per-user application settings in the user's configuration location, one QSettings INI
// file per name ("Kelvanto" holds the language choice). The output settings have a file of
// their own (CRegister). QSettings opens its file by name and reads all of it, so a file that
// is not a regular one within kMaxSettingsFileBytes never reaches it: a FIFO would hold the
// program, a device would be read without end. Such a file reads as empty and is never
// written over.
class UserSettings {
public:
    explicit UserSettings(const QString& name);

    QVariant value(const QString& key, const QVariant& defaultValue = {}) const;
    // Saved at once; false when the file may not be replaced or the save failed.
    bool setValue(const QString& key, const QVariant& value);

private:
    QString path_;
};

} // namespace kv
