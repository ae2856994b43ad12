#pragma once

#include <QString>

#include <atomic>
#include <optional>

namespace kv {

// The longest a probe may take to open a file; one that needs longer counts as unreadable.
// Junk stays far below it (what opening may read is bounded too); this is the backstop.
constexpr int kProbeTimeoutMs = 3000;

// The play length of a file as whole seconds (halves to even); nothing when neither a
// stream nor a tracker module opens it, or once `cancel` turns true. Whatever is opened is
// closed before returning.
std::optional<qint64> ProbeSeconds(const QString& path, const std::atomic<bool>* cancel = nullptr);

// Minutes with at least two digits, ":", seconds with two (65 gives 01:05).
QString LengthText(qint64 seconds);

// The Duration text of a file: its length text, or the text of caption 20013 ("Error").
// `failed` says which, whatever the language makes of the error text.
QString GetDurationText(const QString& path, bool* failed = nullptr);

} // namespace kv
