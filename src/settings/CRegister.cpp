#include "settings/CRegister.h"

#include "settings/UserSettings.h"

namespace kv {
namespace {
struct Store : UserSettings {
    Store() : UserSettings(QStringLiteral("Settings")) {}
};

const QString kUnnamed = QStringLiteral("(Default)");

QString groupOf(RegRoot root, const QString& normalizedSection) {
    QString path = root == RegRoot::LocalMachine ? QStringLiteral("LocalMachine")
                                                 : QStringLiteral("CurrentUser");
    QString section = normalizedSection;
    section.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!section.isEmpty())
        path += QLatin1Char('/') + section;
    return path;
}

// The stored spelling of a value name, found without regard to case; the name itself when
// none is stored yet.
QString storedName(QSettings& s, const QString& key) {
    const QString name = key == QLatin1String("*") ? kUnnamed : key;
    for (const QString& k : s.childKeys()) {
        if (k.compare(name, Qt::CaseInsensitive) == 0)
            return k;
    }
    return name;
}
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
    Store s;
    s.beginGroup(groupOf(root, NormalizeKeyPath(section)));
    const QString value = s.value(storedName(s, key)).toString();
    // An empty value reads as missing.
    return value.isEmpty() ? defaultValue : value;
}

bool CRegister::REGSaveSetting(RegRoot root, const QString& section, const QString& key,
                               const QString& value) {
    Store s;
    s.beginGroup(groupOf(root, NormalizeKeyPath(section)));
    s.setValue(storedName(s, key), value);
    s.endGroup();
    s.sync();
    return s.status() == QSettings::NoError && s.isWritable();
}

bool CRegister::REGDeleteSetting(RegRoot root, const QString& section, const QString& key) {
    Store s;
    const QString group = groupOf(root, NormalizeKeyPath(section));
    if (key.isEmpty()) {
        // The whole section goes, with every value in it.
        s.remove(group);
        s.sync();
        return s.status() == QSettings::NoError;
    }
    s.beginGroup(group);
    const QString name = storedName(s, key);
    if (!s.contains(name))
        return false;
    s.remove(name);
    s.endGroup();
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace kv
