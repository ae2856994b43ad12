// The output settings without a window: the summary line and the companion tool's overrides.
// Stored files and the batch options are tested on the window (OptionsPanelTest).
#include "settings/OutputSettings.h"
#include "settings/SettingOverrides.h"

#include <gtest/gtest.h>

using namespace kv;
using S = OutputSetting;

namespace {
OutputSettings with(std::initializer_list<std::pair<S, int>> changes) {
    OutputSettings v;
    for (const auto& [id, n] : changes)
        v.setNumber(id, n);
    return v;
}
} // namespace

TEST(OutputSettings, SummaryLine) {
    const struct {
        OutputSettings values;
        const char* summary; // nullptr: the line keeps its text
    } cases[] = {
        {with({{S::optMP3CBR, 0}, {S::optMP3ABR, 1}, {S::cmbMP3ABitrate, 0}, {S::cmbMP3Freq, 2}}),
         "MP3,Joint Stereo,11.025 KHz,Average Bitrate 310 Kbps"},
        {with({{S::optMP3CBR, 0},
               {S::optMP3VBR, 1},
               {S::SliderMP3VBR, 9},
               {S::cmbMP3StereoMode, 0}}),
         "MP3,Mono,Auto Sampling,VBR Quality=9"},
        {with({{S::optFileFormat, 0}}), "WAV, Bitrate will be as input"},
        {with({{S::optFileFormat, 3}}), "OGG,Variable Bitrate 128 Kbps,Quality=3"},
        // Neither Ogg mode selected reads as variable.
        {with({{S::optFileFormat, 3}, {S::optOGGVBR, 0}, {S::sliderOGG, -2}}),
         "OGG,Variable Bitrate 128 Kbps,Quality=-2"},
        {with({{S::optFileFormat, -1}}), nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<QString> s = FormatSummary(c.values);
        EXPECT_EQ(s.has_value(), c.summary != nullptr) << (c.summary ? c.summary : "none");
        if (s && c.summary) {
            EXPECT_EQ(*s, QString::fromUtf8(c.summary));
        }
    }
}

TEST(OutputSettings, OverridesNameTheirFault) {
    const struct {
        const char* assignment;
        const char* fault; // nullptr: taken
    } cases[] = {
        {"SLIDEROGG=-2", nullptr},    {"cmbOGGvBitrate=0", nullptr},
        {"optSameFolder=1", nullptr}, {"txtOutPath=", nullptr},
        {"nosuch=1", "\"nosuch\""},   {"sliderOGG=11", "-2 to 10"},
        {"optFileFormat=4", "WAV"},   {"optMP3CBR=yes", "True or False (1 or 0)"},
        {"sliderWMA", "NAME=VALUE"},
    };
    for (const auto& c : cases) {
        OutputSettings v;
        const OutputSettings before = v;
        const QString fault = ApplySettingOverride(v, QString::fromUtf8(c.assignment));
        if (!c.fault) {
            EXPECT_TRUE(fault.isEmpty()) << fault.toStdString();
            continue;
        }
        EXPECT_TRUE(fault.contains(QString::fromUtf8(c.fault))) << fault.toStdString();
        EXPECT_EQ(v, before) << c.assignment;
    }
    OutputSettings v;
    ASSERT_TRUE(ApplySettingOverride(v, "optSameFolder=True").isEmpty());
    EXPECT_FALSE(v.selected(S::optOtherFolder));
}
