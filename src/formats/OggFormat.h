#pragma once

#include "formats/Format.h"

namespace kv {

// Ogg Vorbis: encoded by the oggenc process (see ConvertToMP3_OGG); its tags are Vorbis
// comments.
class OggFormat final : public Format {
public:
    int id() const override { return kFormatOGG; }
    QString name() const override { return QStringLiteral("OGG"); }
    QString extension() const override { return QStringLiteral("ogg"); }
    TagKind tagKind() const override { return TagKind::VorbisInOgg; }
    std::vector<OutputSetting> settings() const override;
    FileOutcome convert(const QString& source, const QString& output,
                        const ConversionOptions& options,
                        ConversionControl& control) const override;
    QString summary(const OutputSettings& settings) const override;
};

} // namespace kv
