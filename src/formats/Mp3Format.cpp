#include "formats/Mp3Format.h"

#include "formats/Mp3OggConverter.h"

namespace kv {

using S = OutputSetting;

std::vector<OutputSetting> Mp3Format::settings() const {
    return {S::cmbMP3StereoMode, S::cmbMP3Freq,   S::SliderMP3EncoderQuality,
            S::optMP3CBR,        S::optMP3ABR,    S::optMP3VBR,
            S::SliderMP3VBR,     S::cmbMP3CBitrate, S::cmbMP3ABitrate};
}

FileOutcome Mp3Format::convert(const QString& source, const QString& output,
                               const ConversionOptions& options, ConversionControl& control) const {
    return ConvertToMP3_OGG(source, output, options, control);
}

// A null text while no mode button is selected: the line keeps what it showed.
QString Mp3Format::summary(const OutputSettings& v) const {
    const QString head = QStringLiteral("MP3,") + v.item(S::cmbMP3StereoMode) +
                         QLatin1Char(',') + v.item(S::cmbMP3Freq);
    if (v.selected(S::optMP3CBR))
        return head + QStringLiteral(",Constant Bitrate ") + v.item(S::cmbMP3CBitrate);
    if (v.selected(S::optMP3ABR))
        return head + QStringLiteral(",Average Bitrate ") + v.item(S::cmbMP3ABitrate);
    if (v.selected(S::optMP3VBR))
        return head + QStringLiteral(",VBR Quality=") + QString::number(v.number(S::SliderMP3VBR));
    return QString();
}

} // namespace kv
