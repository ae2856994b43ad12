#pragma once

#include <QString>

namespace kv {

// Roots of the settings store; the program keeps its settings under the machine root.
enum class RegRoot { LocalMachine, CurrentUser };

// Where the output settings live.
inline const QString kSettingsSection = QStringLiteral("Software\\Quorvane Kelvanto\\Settings");

// Text settings addressed by root, a section path ("\" separated) and a value name matched
// without regard to case; "*" names the section's unnamed value. Kept in an INI file in the
// user's configuration location. No method fails loudly: reads fall back to their default,
// writes and deletes report false.
class CRegister {
public:
    bool REGDeleteSetting(RegRoot root, const QString& section, const QString& key);
    QString REGGetSetting(RegRoot root, const QString& section, const QString& key,
                          const QString& defaultValue);
    bool REGSaveSetting(RegRoot root, const QString& section, const QString& key,
                        const QString& value);

private:
    static QString NormalizeKeyPath(const QString& path);
};

} // namespace kv
