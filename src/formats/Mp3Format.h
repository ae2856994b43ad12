#pragma once

#include "formats/Format.h"

namespace kv {

// MP3: encoded by the lame process (see ConvertToMP3_OGG); its tags are ID3v2.3.
class Mp3Format final : public Format {
public:
    int id() const override { return kFormatMP3; }
    QString name() const override { return QStringLiteral("MP3"); }
    QString extension() const override { return QStringLiteral("mp3"); }
    TagKind tagKind() const override { return TagKind::Id3v23; }
    std::vector<OutputSetting> settings() const override;
    FileOutcome convert(const QString& source, const QString& output,
                        const ConversionOptions& options,
                        ConversionControl& control) const override;
    QString summary(const OutputSettings& settings) const override;
};

} // namespace kv
