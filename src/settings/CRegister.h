#pragma once

#include "settings/SettingsFile.h"
#include "settings/StampedFileCache.h"

#include <QList>
#include <QString>

#include <utility>

namespace kv {

// Roots of the settings store; the program keeps its output settings under the machine root,
// which is a section of the user's own file like any other.
enum class RegRoot { LocalMachine, CurrentUser };

// Where the output settings live.
inline const QString kSettingsSection = QStringLiteral("Software\\Quorvane Kelvanto\\Settings");

// Text settings addressed by root, a section path ("\" separated) and a value name matched
// without regard to case; "*" names the section's unnamed value. Kept per user, in
// UserSettingsPath("Settings") (settings/SettingsFile.h), which every change replaces as a
// whole. No method fails loudly: reads fall back to their default, writes and deletes report
// false. A store that is not a regular file of at most kMaxSettingsFileBytes reads as empty
// and is never written over.
class CRegister {
public:
    bool REGDeleteSetting(RegRoot root, const QString& section, const QString& key);
    QString REGGetSetting(RegRoot root, const QString& section, const QString& key,
                          const QString& defaultValue);
    bool REGSaveSetting(RegRoot root, const QString& section, const QString& key,
                        const QString& value);
    // Several values in one replacement of the file, in their order: all of them or none.
    bool REGSaveSettings(RegRoot root, const QString& section,
                         const QList<std::pair<QString, QString>>& values);

private:
    static QString NormalizeKeyPath(const QString& path);
    // The store as last read: the values of one load cost one stat each, not a read.
    StampedFileCache<SettingsFile> read_{kMaxSettingsFileBytes, 1};
};

} // namespace kv
