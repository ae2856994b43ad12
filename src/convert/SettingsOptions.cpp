#include "convert/SettingsOptions.h"

#include "settings/SettingOverrides.h"

#include <cmath>

namespace kv {
namespace {
using S = OutputSetting;

int kbps(const OutputSettings& v, OutputSetting list) {
    return static_cast<int>(std::lround(LeadingNumber(v.item(list))));
}
} // namespace

ConversionOptions ConversionOptionsFrom(const OutputSettings& v) {
    ConversionOptions o;
    o.outputFormat = v.number(S::optFileFormat);
    o.folder.sameFolder = v.selected(S::optSameFolder);
    o.folder.outPath = v.outPath();

    // The encoders take the first selected mode in this order.
    o.mp3.mode = v.selected(S::optMP3CBR)   ? BitrateMode::Constant
                 : v.selected(S::optMP3ABR) ? BitrateMode::Average
                 : v.selected(S::optMP3VBR) ? BitrateMode::Variable
                                            : BitrateMode::None;
    o.mp3.constantKbps = kbps(v, S::cmbMP3CBitrate);
    o.mp3.averageKbps = kbps(v, S::cmbMP3ABitrate);
    o.mp3.vbrValue = v.number(S::SliderMP3VBR);
    o.mp3.encoderQuality = v.number(S::SliderMP3EncoderQuality);
    o.mp3.freqIndex = v.number(S::cmbMP3Freq);
    o.mp3.stereoModeIndex = v.number(S::cmbMP3StereoMode);

    o.ogg.mode = v.selected(S::optOGGCBR)   ? BitrateMode::Constant
                 : v.selected(S::optOGGVBR) ? BitrateMode::Variable
                                            : BitrateMode::None;
    o.ogg.constantKbps = kbps(v, S::cmbOGGCBitrate);
    o.ogg.variableKbps = kbps(v, S::cmbOGGVBitrate);
    o.ogg.quality = v.number(S::sliderOGG);

    o.wma.quality = v.number(S::sliderWMA);
    o.jobs = v.number(S::spnSimultaneous);
    o.copyTags = v.selected(S::chkCopyTags);
    o.settings = v;
    return o;
}

bool SavedConversionOptions(const QStringList& overrides, ConversionOptions& options,
                            QString& error) {
    CRegister reg;
    OutputSettings values;
    ReadStoredOutputSettings(reg, values);
    for (const QString& assignment : overrides) {
        error = ApplySettingOverride(values, assignment);
        if (!error.isEmpty())
            return false;
    }
    options = ConversionOptionsFrom(values);
    return true;
}

} // namespace kv
