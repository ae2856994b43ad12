#include "filelist/LengthProbe.h"

#include "engine/Decoders.h"
#include "lang/Captions.h"

#include <cmath>

namespace kv {

std::optional<qint64> ProbeSeconds(const QString& path, const std::atomic<bool>* cancel) {
    StreamOpenOptions options;
    options.cancel = cancel;
    options.openTimeoutMs = kProbeTimeoutMs;
    std::unique_ptr<DecodeStream> ProbeStream = OpenStreamUnicode(path, options);
    if (!ProbeStream && !(cancel != nullptr && cancel->load()))
        ProbeStream = LoadMusicUnicode(path, options);
    if (!ProbeStream)
        return std::nullopt;
    const double seconds = BytesToSeconds(ProbeStream.get(), ProbeStream->length());
    // nearbyint rounds in the default mode: to nearest, halves to even.
    return static_cast<qint64>(std::nearbyint(seconds));
}

QString LengthText(qint64 seconds) {
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString GetDurationText(const QString& path, bool* failed) {
    const std::optional<qint64> seconds = ProbeSeconds(path);
    if (failed)
        *failed = !seconds;
    if (!seconds)
        return GetCaption(20013, QStringLiteral("Error"));
    return LengthText(*seconds);
}

} // namespace kv
