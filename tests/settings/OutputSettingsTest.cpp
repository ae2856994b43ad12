// The output settings without a window: stored texts as the controls take them, the summary
// line, the companion tool's overrides and the batch options built from them.
#include "settings/OutputSettings.h"
#include "convert/SettingsOptions.h"
#include "settings/SettingOverrides.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace kv;
using namespace kvtest;
using S = OutputSetting;

namespace {
class OutputStore : public ::testing::Test {
protected:
    void SetUp() override { ClearUserSettings(); }
    void TearDown() override { ClearUserSettings(); }
};

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
        {OutputSettings(), "MP3,Joint Stereo,Auto Sampling,Constant Bitrate 128 Kbps"},
        {with({{S::optMP3CBR, 0}, {S::optMP3ABR, 1}, {S::cmbMP3ABitrate, 0}, {S::cmbMP3Freq, 2}}),
         "MP3,Joint Stereo,11.025 KHz,Average Bitrate 310 Kbps"},
        {with({{S::optMP3CBR, 0},
               {S::optMP3VBR, 1},
               {S::SliderMP3VBR, 9},
               {S::cmbMP3StereoMode, 0}}),
         "MP3,Mono,Auto Sampling,VBR Quality=9"},
        {with({{S::optMP3CBR, 0}}), nullptr},
        {with({{S::optFileFormat, 0}}), "WAV, Bitrate will be as input"},
        {with({{S::optFileFormat, 1}, {S::sliderWMA, 0}}), "WMA,Encoding Quality= 0"},
        {with({{S::optFileFormat, 3}}), "OGG,Variable Bitrate 128 Kbps,Quality=3"},
        {with({{S::optFileFormat, 3}, {S::sliderOGG, -2}}),
         "OGG,Variable Bitrate 128 Kbps,Quality=-2"},
        {with(
             {{S::optFileFormat, 3}, {S::optOGGCBR, 1}, {S::optOGGVBR, 0}, {S::cmbOGGCBitrate, 8}}),
         "OGG,Constant Bitrate 64 Kbps,Quality=3"},
        {with({{S::optFileFormat, 3}, {S::optOGGVBR, 0}}),
         "OGG,Variable Bitrate 128 Kbps,Quality=3"},
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

TEST_F(OutputStore, StoredTextsAreTakenAsTheControlsTakeThem) {
    const struct {
        StoredValues stored;
        std::initializer_list<std::pair<S, int>> expected; // changes from the defaults
    } cases[] = {
        {{}, {}},
        // "1"/"0" are booleans; the name written with a small v is read with a capital V.
        {{{"optMP3CBR", "0"}, {"optMP3VBR", "1"}, {"cmbOGGvBitrate", "2"}},
         {{S::optMP3CBR, 0}, {S::optMP3VBR, 1}, {S::cmbOGGVBitrate, 2}}},
        // A value out of range or unreadable is skipped alone; the later ones still apply.
        {{{"optFileFormat", "7"}, {"sliderOGG", "11"}, {"sliderWMA", "x"}, {"cmbMP3Freq", "9"}},
         {{S::cmbMP3Freq, 9}}},
        {{{"optFileFormat", " 3 "}, {"sliderOGG", "-2"}, {"cmbMP3CBitrate", "10"}},
         {{S::optFileFormat, 3}, {S::sliderOGG, -2}}},
        // Options of a group exclude each other, in the loading order; all may be cleared.
        {{{"optOtherFolder", "true"}, {"optSameFolder", "TRUE"}},
         {{S::optOtherFolder, 0}, {S::optSameFolder, 1}}},
        {{{"optMP3CBR", "False"}, {"optMP3ABR", "False"}, {"optMP3VBR", "False"}},
         {{S::optMP3CBR, 0}}},
    };
    for (const auto& c : cases) {
        ClearUserSettings();
        StoreOutputSettings(c.stored);
        CRegister reg;
        OutputSettings read;
        ReadStoredOutputSettings(reg, read);
        EXPECT_EQ(read, with(c.expected)) << c.stored.size();
    }
}

TEST_F(OutputStore, SavedValuesComeBackAndAnEmptyFolderReadsAsTheDefault) {
    OutputSettings changed = with({{S::optFileFormat, -1},
                                   {S::sliderWMA, 7},
                                   {S::optMP3ABR, 1},
                                   {S::optMP3CBR, 0},
                                   {S::cmbOGGVBitrate, 3},
                                   {S::sliderOGG, -1}});
    changed.setOutPath(QStringLiteral("/tmp/a,b;c=d"));
    CRegister reg;
    WriteOutputSettings(reg, changed);
    StoredValues stored = StoredOutputSettings();
    EXPECT_EQ(stored.size(), 18u); // no format selected: none written
    EXPECT_EQ(stored["cmbOGGvBitrate"], QStringLiteral("3"));
    EXPECT_EQ(stored["optMP3ABR"], QStringLiteral("True"));
    OutputSettings read;
    ReadStoredOutputSettings(reg, read);
    changed.setNumber(S::optFileFormat, 2); // the default, as nothing was stored
    EXPECT_EQ(read, changed);

    changed.setOutPath(QString());
    WriteOutputSettings(reg, changed);
    ReadStoredOutputSettings(reg, read);
    EXPECT_EQ(read.outPath(), DefaultOutputFolder());
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
    const QStringList help = SettingOverrideHelp();
    const qsizetype at = help.indexOf(QStringLiteral("  cmbOGGVBitrate=6").leftJustified(32) +
                                      "0 to 8: 320 Kbps, 288 Kbps, 256 Kbps, 224 Kbps, 192 Kbps, "
                                      "160 Kbps,");
    ASSERT_GE(at, 0) << help.join('\n').toStdString();
    EXPECT_EQ(help.value(at + 1), QString(32, ' ') + "128 Kbps, 96 Kbps, 64 Kbps");
}

TEST(OutputSettings, BatchOptionsFollowTheSettings) {
    ConversionOptions o = ConversionOptionsFrom(OutputSettings());
    EXPECT_EQ(o.outputFormat, kFormatMP3);
    EXPECT_EQ(o.folder, (OutputFolderChoice{false, DefaultOutputFolder()}));
    EXPECT_EQ(o.mp3, (Mp3Options{BitrateMode::Constant, 128, 128, 5, 5, 0, 2}));
    EXPECT_EQ(o.ogg, (OggOptions{BitrateMode::Variable, 128, 128, 3}));
    EXPECT_EQ(o.wma.quality, 50);

    o = ConversionOptionsFrom(with({{S::optMP3CBR, 0},
                                    {S::optMP3ABR, 1},
                                    {S::cmbMP3ABitrate, 0},
                                    {S::optOGGVBR, 0},
                                    {S::cmbOGGCBitrate, 0}}));
    EXPECT_EQ(o.mp3.mode, BitrateMode::Average);
    EXPECT_EQ(o.mp3.averageKbps, 310);
    EXPECT_EQ(o.ogg.mode, BitrateMode::None);
    EXPECT_EQ(o.ogg.constantKbps, 320);
}
