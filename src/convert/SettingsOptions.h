#pragma once

#include "convert/BatchDriver.h"
#include "formats/Format.h"
#include "settings/OutputSettings.h"

#include <QStringList>

namespace kv {

// The batch options of the output settings. The window (from its controls) and the companion
// tool (from the saved settings) both build their options here. The WMA tags and the WMA
// bitrate choice are not settings: they stay as the caller fills them.
ConversionOptions ConversionOptionsFrom(const OutputSettings& values);

// The saved output settings, with the companion tool's "NAME=VALUE" overrides applied in
// order (never stored). False, with `error` naming the culprit, on a bad override.
bool SavedConversionOptions(const QStringList& overrides, ConversionOptions& options,
                            QString& error);

} // namespace kv
