#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kv {

// The rate WMA output is encoded at for a source rate: the source's own, at most 48 kHz.
int WmaEncodingRate(int sourceRate);

// The bitrates on offer (bit/s as the encoder runs them, highest first) for audio encoded at
// `sampleRate` with `channels`: the standard WMA bitrates of that rate (of the next standard
// rate below for one between them) that the linked encoder really encodes with. Checked once
// per rate and channel count, not per file. Nothing when the encoder is missing or takes no
// such format at all.
std::optional<std::vector<int>> WmaBitratesOnOffer(int sampleRate, int channels);

// The entry a quality (0 to 100) picks among `count` entries, highest bitrate first:
// count - round(quality / 100 * count), halves to even, with 0 taken as 1.
int WmaEntryForQuality(int count, int quality);

// "###,##0 Kbps": the rounded kbit/s with the user's thousands separator.
QString WmaBitrateText(int bitsPerSecond);

// What GetWMABitRateFromQuality found: the list's entries with their exact bitrates, the
// entry chosen, and the bitrate to encode with.
struct WmaBitrateChoice {
    int bitrate = -1; // rounded kbit/s x 1000; -1 without a list, 0 for an empty one
    QStringList entries;
    QList<int> itemData; // exact bit/s of each entry
    int selected = -1;   // -1 when the list is empty
};

WmaBitrateChoice GetWMABitRateFromQuality(int sampleRate, int channels, int quality);

} // namespace kv
