#pragma once

#include "settings/OutputSettings.h"

#include <QString>
#include <QStringList>

namespace kv {

// One saved output setting changed for a single run of the companion tool, never stored:
// "NAME=VALUE" with NAME any setting name (without regard to case) and VALUE as the store
// holds it. Empty when applied; otherwise a message that names what is wrong, and `values`
// is left as it was.
QString ApplySettingOverride(OutputSettings& values, const QString& assignment);

// What a setting takes, for messages and help: "True or False", "-2 to 10", "0 to 3: WAV,
// WMA, MP3, OGG", "a folder".
QString SettingValueHint(const OutputSettingEntry& entry);

// Help lines: every setting as NAME=DEFAULT followed by what it takes, in the stored order.
QStringList SettingOverrideHelp();

} // namespace kv
