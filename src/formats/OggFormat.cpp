#include "formats/OggFormat.h"

#include "formats/Mp3OggConverter.h"

namespace kv {

using S = OutputSetting;

std::vector<OutputSetting> OggFormat::settings() const {
    return {S::sliderOGG, S::optOGGCBR, S::optOGGVBR, S::cmbOGGCBitrate, S::cmbOGGVBitrate};
}

FileOutcome OggFormat::convert(const QString& source, const QString& output,
                               const ConversionOptions& options, ConversionControl& control) const {
    return ConvertToMP3_OGG(source, output, options, control);
}

QString OggFormat::summary(const OutputSettings& v) const {
    const QString quality = QStringLiteral(",Quality=") + QString::number(v.number(S::sliderOGG));
    if (v.selected(S::optOGGCBR))
        return QStringLiteral("OGG,Constant Bitrate ") + v.item(S::cmbOGGCBitrate) + quality;
    return QStringLiteral("OGG,Variable Bitrate ") + v.item(S::cmbOGGVBitrate) + quality;
}

} // namespace kv
