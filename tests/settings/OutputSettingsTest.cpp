// The output settings without a window: the summary line, the companion tool's overrides and
// the values of the formats encoded in-process. Stored files and the batch options are tested
// on the window (OptionsPanelTest).
#include "formats/Format.h"
#include "settings/CRegister.h"
#include "settings/OutputSettings.h"
#include "settings/SettingOverrides.h"
#include "settings/SettingsFile.h"

#include <QFile>

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
        {with({{S::optFileFormat, 4}, {S::sliderFLACLevel, 8}}), "FLAC,Compression Level=8"},
        {with({{S::optFileFormat, 5}}), "OPUS,Variable Bitrate 128 Kbps,48 KHz"},
        {with({{S::optFileFormat, 6}, {S::sliderM4ABitrate, 64}}), "M4A,AAC-LC 64 Kbps"},
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
        {"optFileFormat=7", "M4A"},   {"optMP3CBR=yes", "True or False (1 or 0)"},
        {"sliderOpusBitrate=257", "32 to 256"}, {"SLIDERFLACLEVEL=0", nullptr},
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

// The new formats' values are stored after the twenty-one described ones and come back as
// written; a store written before them loads with their defaults.
TEST(OutputSettings, NewFormatValuesRoundTripAfterTheOthers) {
    const QString path = UserSettingsPath(QStringLiteral("Settings"));
    QFile::remove(path);
    CRegister reg;
    OutputSettings older;
    older.setNumber(S::sliderOGG, 7);
    QList<std::pair<OutputSetting, QString>> described;
    for (const OutputSettingEntry& e : OutputSettingTable())
        if (static_cast<int>(e.id) < 21 && e.kind != SettingKind::Text)
            described.append({e.id, SettingText(e, older.number(e.id))});
    StoreSettings(reg, described);
    OutputSettings loaded =
        with({{S::sliderFLACLevel, 1}, {S::sliderOpusBitrate, 40}, {S::chkSubfolders, 1}});
    ReadStoredOutputSettings(reg, loaded);
    EXPECT_EQ(loaded.number(S::sliderOGG), 7);
    EXPECT_EQ(loaded.number(S::sliderFLACLevel), 5);
    EXPECT_EQ(loaded.number(S::sliderOpusBitrate), 128);
    EXPECT_EQ(loaded.number(S::sliderM4ABitrate), 256);
    EXPECT_FALSE(loaded.selected(S::chkSubfolders));

    const OutputSettings v = with({{S::optFileFormat, 6},
                                   {S::sliderFLACLevel, 0},
                                   {S::sliderOpusBitrate, 256},
                                   {S::sliderM4ABitrate, 96},
                                   {S::chkSubfolders, 1}});
    WriteOutputSettings(reg, v);
    OutputSettings back;
    ReadStoredOutputSettings(reg, back);
    EXPECT_EQ(back, v);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    const qsizetype lastDescribed = text.indexOf("chkCopyTags=");
    ASSERT_GE(lastDescribed, 0);
    for (const char* name : {"sliderFLACLevel=0", "sliderOpusBitrate=256", "sliderM4ABitrate=96"})
        EXPECT_GT(text.indexOf(name), lastDescribed) << name;
    EXPECT_GT(text.indexOf("chkSubfolders=True"), text.indexOf("sliderM4ABitrate=96"));
}
