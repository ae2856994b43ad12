#include "settings/SettingOverrides.h"

namespace kv {

QString SettingValueHint(const OutputSettingEntry& entry) {
    switch (entry.kind) {
    case SettingKind::Boolean:
        return QStringLiteral("True or False (1 or 0)");
    case SettingKind::Text:
        return QStringLiteral("a folder");
    case SettingKind::Integer:
        return QStringLiteral("%1 to %2").arg(entry.min).arg(entry.max);
    case SettingKind::Index:
        return QStringLiteral("%1 to %2: %3")
            .arg(entry.min)
            .arg(entry.max)
            .arg(ListItems(entry.id).join(QStringLiteral(", ")));
    }
    return {};
}

QString ApplySettingOverride(OutputSettings& values, const QString& assignment) {
    const qsizetype eq = assignment.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return QStringLiteral("--set takes NAME=VALUE, not \"%1\"").arg(assignment);
    const QString name = assignment.left(eq).trimmed();
    QString value = assignment.mid(eq + 1);
    const OutputSettingEntry* entry = FindOutputSetting(name);
    if (!entry)
        return QStringLiteral("--set: no setting is called \"%1\" (--help lists them)").arg(name);
    // As in the store, an empty folder stands for the default one.
    if (entry->kind == SettingKind::Text && value.isEmpty())
        value = DefaultText(*entry);
    if (!values.apply(entry->id, value))
        return QStringLiteral("--set: %1 cannot be \"%2\"; it takes %3")
            .arg(QLatin1String(entry->name), value, SettingValueHint(*entry));
    return {};
}

QStringList SettingOverrideHelp() {
    constexpr int kHintColumn = 32, kWidth = 100;
    QStringList lines;
    for (const OutputSettingEntry& entry : OutputSettingTable()) {
        QString line = QStringLiteral("  %1=%2")
                           .arg(QLatin1String(entry.name), DefaultText(entry))
                           .leftJustified(kHintColumn - 2) +
                       QStringLiteral("  ");
        qsizetype start = line.size();
        // A long list goes on under its first item, word by word.
        for (const QString& word : SettingValueHint(entry).split(QLatin1Char(' '))) {
            if (line.size() > start && line.size() + 1 + word.size() > kWidth) {
                lines << line;
                line = QString(kHintColumn, QLatin1Char(' '));
                start = line.size();
            }
            if (line.size() > start)
                line += QLatin1Char(' ');
            line += word;
        }
        lines << line;
    }
    return lines;
}

} // namespace kv
