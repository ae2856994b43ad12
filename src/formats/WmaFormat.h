#pragma once

#include "formats/Format.h"
#include "formats/WmaBitrates.h"

#include <array>

namespace kv {

// Bytes asked of the decoder per block: progress and the stop flag are looked at after each.
inline constexpr int kWmaBlockBytes = 20000;

// The ASF names the eight tag boxes are written under, box i under name i. (The names of
// WMATagNames, here for the batch tool too, which starts no output device.)
const std::array<QString, 8>& WmaTagNameList();

// The batch tool's "--wma-tag NAME=TEXT": the box of the tag NAME (one of the eight names, in
// any case) gets TEXT, and tags are ticked for the run. Empty when taken, else what is wrong.
QString ApplyWmaTagOption(WmaOptions& options, const QString& assignment);

// Decodes `source` block by block into a WMA file at exactly `output` (an empty file there is
// taken over; any other file there is left alone and the file fails). The bitrate is the one
// the quality picks among those on offer for what is encoded: the source's rate up to 48 kHz,
// at most two channels (more are mixed down). With tags ticked, every non-empty box is
// written once under its name, in its place (see WmaFileWriter::open). Complete; Cancelled (a
// whole, playable shorter file); or Error, with the file it took removed (a file another run
// made at that name meanwhile stays). `chosen` gets the bitrate list and the entry picked.
FileOutcome ConvertToWMA(const QString& source, const QString& output, const WmaOptions& options,
                         ConversionControl& control, WmaBitrateChoice* chosen = nullptr);

// WMA: encoded in-process at the bitrate the quality picks (see ConvertToWMA); its tags are
// ASF attributes, the tag boxes winning.
class WmaFormat final : public Format {
public:
    int id() const override { return kFormatWMA; }
    QString name() const override { return QStringLiteral("WMA"); }
    QString extension() const override { return QStringLiteral("wma"); }
    TagKind tagKind() const override { return TagKind::AsfAttributes; }
    std::vector<OutputSetting> settings() const override { return {OutputSetting::sliderWMA}; }
    FileOutcome convert(const QString& source, const QString& output,
                        const ConversionOptions& options,
                        ConversionControl& control) const override;
    QString summary(const OutputSettings& settings) const override;
};

} // namespace kv
