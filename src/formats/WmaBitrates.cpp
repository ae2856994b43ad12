#include "formats/WmaBitrates.h"

#include "formats/WmaFileWriter.h"
#include "settings/Rounding.h"

#include <QLocale>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace kv {

namespace {

// The standard WMA bitrates in kbit/s per rate, highest first, for stereo and mono, none
// below the 24 kbit/s the encoder takes at the least. At CD rate the middle of the slider
// gives 128 kbit/s.
struct StandardRow {
    int rate;
    std::vector<int> stereo;
    std::vector<int> mono;
};
const std::vector<StandardRow>& standardRows() {
    static const std::vector<StandardRow> rows = {
        {48000, {320, 256, 192, 160, 128, 96, 64, 48}, {160, 128, 96, 64, 48, 32}},
        {44100, {320, 256, 192, 160, 128, 96, 64, 48}, {160, 128, 96, 64, 48, 32}},
        {32000, {96, 80, 64, 48, 40, 32}, {64, 48, 40, 32, 24}},
        {22050, {64, 48, 40, 32, 24}, {48, 40, 32, 24}},
        {16000, {48, 40, 32, 24}, {40, 32, 24}},
        {11025, {40, 32, 24}, {32, 24}},
        {8000, {32, 24}, {32, 24}},
    };
    return rows;
}

// Checked per encoder, rate and channel count.
using CacheKey = std::tuple<std::string, int, int>;
std::mutex cacheMutex;
std::map<CacheKey, std::optional<std::vector<int>>>& cache() {
    static std::map<CacheKey, std::optional<std::vector<int>>> checked;
    return checked;
}

std::optional<std::vector<int>> check(int rate, int channels) {
    if (rate <= 0 || rate > kWmaMaxRate || channels <= 0 || channels > kWmaMaxChannels)
        return std::nullopt;
    const auto& rows = standardRows();
    auto row = std::find_if(rows.begin(), rows.end(),
                            [&](const StandardRow& r) { return r.rate <= rate; });
    if (row == rows.end())
        row = rows.end() - 1;
    const std::vector<int>& kbps = channels == 1 ? row->mono : row->stereo;
    std::vector<int> offered;
    bool encoderFound = false;
    for (int k : kbps) {
        std::int64_t actual = 0;
        const bool works = WmaBitrateEncodes(rate, channels, k * 1000, &actual);
        encoderFound = encoderFound || works;
        if (works && actual > 0)
            offered.push_back(static_cast<int>(actual));
    }
    // Without any encoder at all there is no list, rather than an empty one.
    if (!encoderFound && !WmaBitrateEncodes(44100, 2, 128000))
        return std::nullopt;
    return offered;
}

} // namespace

int WmaEncodingRate(int sourceRate) {
    return std::min(sourceRate, kWmaMaxRate);
}

std::optional<std::vector<int>> WmaBitratesOnOffer(int sampleRate, int channels) {
    const CacheKey key{WmaEncoderName(), sampleRate, channels};
    {
        std::lock_guard<std::mutex> lock(cacheMutex);
        if (const auto it = cache().find(key); it != cache().end())
            return it->second;
    }
    // Checked outside the lock: two threads may both check, and find the same.
    std::optional<std::vector<int>> offered = check(sampleRate, channels);
    std::lock_guard<std::mutex> lock(cacheMutex);
    cache().emplace(key, offered);
    return offered;
}

int WmaEntryForQuality(int count, int quality) {
    if (count <= 0)
        return -1;
    int n = static_cast<int>(RoundHalfEven(quality / 100.0 * count));
    if (n == 0)
        n = 1;
    // A quality outside 0 to 100 stays on the list.
    return std::clamp(count - n, 0, count - 1);
}

QString WmaBitrateText(int bitsPerSecond) {
    const qint64 kbps = static_cast<qint64>(RoundHalfEven(bitsPerSecond / 1000.0));
    // Digits as written, whatever digits the locale uses; only the separator is the user's.
    QString digits = QString::number(kbps < 0 ? -kbps : kbps);
    const QString separator = QLocale().groupSeparator();
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, separator);
    return (kbps < 0 ? QStringLiteral("-") : QString()) + digits + QStringLiteral(" Kbps");
}

WmaBitrateChoice GetWMABitRateFromQuality(int sampleRate, int channels, int quality) {
    WmaBitrateChoice choice;
    const std::optional<std::vector<int>> offered = WmaBitratesOnOffer(sampleRate, channels);
    if (!offered)
        return choice;
    for (int r : *offered) {
        choice.entries << WmaBitrateText(r);
        choice.itemData << r;
    }
    if (offered->empty()) {
        choice.bitrate = 0;
        return choice;
    }
    choice.selected = WmaEntryForQuality(static_cast<int>(offered->size()), quality);
    choice.bitrate =
        static_cast<int>(RoundHalfEven(choice.itemData[choice.selected] / 1000.0)) * 1000;
    return choice;
}

} // namespace kv
