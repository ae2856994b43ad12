#include "settings/OutputSettings.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>

namespace kv {
namespace {

using S = OutputSetting;
using K = SettingKind;

// The table of the store: name, written name, kind, range, default.
const std::array<OutputSettingEntry, kOutputSettingCount> kEntries = {{
    {S::optOtherFolder, "optOtherFolder", "optOtherFolder", K::Boolean, 0, 1, "True"},
    {S::optSameFolder, "optSameFolder", "optSameFolder", K::Boolean, 0, 1, "False"},
    {S::txtOutPath, "txtOutPath", "txtOutPath", K::Text, 0, 0, nullptr},
    {S::optFileFormat, "optFileFormat", "optFileFormat", K::Index, 0, 6, "2"},
    {S::sliderWMA, "sliderWMA", "sliderWMA", K::Integer, 0, 100, "50"},
    {S::cmbMP3StereoMode, "cmbMP3StereoMode", "cmbMP3StereoMode", K::Index, 0, 4, "2"},
    {S::cmbMP3Freq, "cmbMP3Freq", "cmbMP3Freq", K::Index, 0, 9, "0"},
    {S::SliderMP3EncoderQuality, "SliderMP3EncoderQuality", "SliderMP3EncoderQuality", K::Integer,
     0, 9, "5"},
    {S::optMP3CBR, "optMP3CBR", "optMP3CBR", K::Boolean, 0, 1, "True"},
    {S::optMP3ABR, "optMP3ABR", "optMP3ABR", K::Boolean, 0, 1, "False"},
    {S::optMP3VBR, "optMP3VBR", "optMP3VBR", K::Boolean, 0, 1, "False"},
    {S::SliderMP3VBR, "SliderMP3VBR", "SliderMP3VBR", K::Integer, 0, 9, "5"},
    {S::cmbMP3CBitrate, "cmbMP3CBitrate", "cmbMP3CBitrate", K::Index, 0, 9, "6"},
    {S::cmbMP3ABitrate, "cmbMP3ABitrate", "cmbMP3ABitrate", K::Index, 0, 9, "6"},
    {S::sliderOGG, "sliderOGG", "sliderOGG", K::Integer, -2, 10, "3"},
    {S::optOGGCBR, "optOGGCBR", "optOGGCBR", K::Boolean, 0, 1, "0"},
    {S::optOGGVBR, "optOGGVBR", "optOGGVBR", K::Boolean, 0, 1, "1"},
    {S::cmbOGGCBitrate, "cmbOGGCBitrate", "cmbOGGCBitrate", K::Index, 0, 8, "6"},
    // Written with a small v and read with a capital one: the store ignores case.
    {S::cmbOGGVBitrate, "cmbOGGVBitrate", "cmbOGGvBitrate", K::Index, 0, 8, "6"},
    // The window offers 1 up to the number of cores; the store takes any sensible count.
    {S::spnSimultaneous, "spnSimultaneous", "spnSimultaneous", K::Integer, 1, 64, "1"},
    {S::chkCopyTags, "chkCopyTags", "chkCopyTags", K::Boolean, 0, 1, "True"},
    {S::sliderFLACLevel, "sliderFLACLevel", "sliderFLACLevel", K::Integer, 0, 8, "5"},
    {S::sliderOpusBitrate, "sliderOpusBitrate", "sliderOpusBitrate", K::Integer, 32, 256, "128"},
    {S::sliderM4ABitrate, "sliderM4ABitrate", "sliderM4ABitrate", K::Integer, 64, 320, "256"},
    {S::chkSubfolders, "chkSubfolders", "chkSubfolders", K::Boolean, 0, 1, "False"},
}};

// Option buttons that exclude each other.
const std::array<std::initializer_list<S>, 3> kGroups = {{
    {S::optOtherFolder, S::optSameFolder},
    {S::optMP3CBR, S::optMP3ABR, S::optMP3VBR},
    {S::optOGGCBR, S::optOGGVBR},
}};

QStringList bitrates(int first, int count) {
    static const int kRates[] = {320, 288, 256, 224, 192, 160, 128, 96, 64, 32};
    QStringList items;
    for (int i = 0; i < count; ++i)
        items << QStringLiteral("%1 Kbps").arg(i == 0 ? first : kRates[i]);
    return items;
}

} // namespace

const std::array<OutputSettingEntry, kOutputSettingCount>& OutputSettingTable() {
    return kEntries;
}

const OutputSettingEntry& EntryOf(OutputSetting id) {
    return kEntries[static_cast<int>(id)];
}

const OutputSettingEntry* FindOutputSetting(const QString& name) {
    for (const OutputSettingEntry& entry : kEntries) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return &entry;
    }
    return nullptr;
}

QString DefaultOutputFolder() {
    return QDir::homePath() + QStringLiteral("/Converted Files");
}

QString DefaultText(const OutputSettingEntry& entry) {
    return entry.defaultText ? QString::fromLatin1(entry.defaultText) : DefaultOutputFolder();
}

const QStringList& ListItems(OutputSetting list) {
    static const QStringList mp3Constant = bitrates(320, 10);
    static const QStringList mp3Average = bitrates(310, 10);
    static const QStringList ogg = bitrates(320, 9);
    static const QStringList freq = {QStringLiteral("Auto Sampling"), QStringLiteral("8 KHz"),
                                     QStringLiteral("11.025 KHz"),    QStringLiteral("12 KHz"),
                                     QStringLiteral("16 KHz"),        QStringLiteral("22.05 KHz"),
                                     QStringLiteral("24 KHz"),        QStringLiteral("32 KHz"),
                                     QStringLiteral("44.1 KHz"),      QStringLiteral("48 KHz")};
    static const QStringList stereo = {
        QStringLiteral("Mono"), QStringLiteral("Stereo"), QStringLiteral("Joint Stereo"),
        QStringLiteral("Forced Joint Stereo"), QStringLiteral("Dual Channels")};
    static const QStringList formats = {QStringLiteral("WAV"), QStringLiteral("WMA"),
                                        QStringLiteral("MP3"), QStringLiteral("OGG"),
                                        QStringLiteral("FLAC"), QStringLiteral("OPUS"),
                                        QStringLiteral("M4A")};
    static const QStringList none;
    switch (list) {
    case S::optFileFormat:
        return formats;
    case S::cmbMP3CBitrate:
        return mp3Constant;
    case S::cmbMP3ABitrate:
        return mp3Average;
    case S::cmbOGGCBitrate:
    case S::cmbOGGVBitrate:
        return ogg;
    case S::cmbMP3Freq:
        return freq;
    case S::cmbMP3StereoMode:
        return stereo;
    default:
        return none;
    }
}

double LeadingNumber(const QString& item) {
    static const QRegularExpression number(QStringLiteral("^\\s*(\\d+(\\.\\d+)?)"));
    const QRegularExpressionMatch m = number.match(item);
    return m.hasMatch() ? m.captured(1).toDouble() : 0.0;
}

std::optional<int> ParseSettingNumber(const OutputSettingEntry& entry, const QString& text,
                                      OutOfRange outOfRange) {
    const QString t = text.trimmed();
    bool ok = false;
    switch (entry.kind) {
    case K::Boolean: {
        if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return 1;
        if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return 0;
        const int v = t.toInt(&ok);
        if (!ok)
            return std::nullopt;
        return v != 0 ? 1 : 0;
    }
    case K::Index:
    case K::Integer: {
        const qlonglong v = t.toLongLong(&ok);
        if (!ok)
            return std::nullopt;
        if (v >= entry.min && v <= entry.max)
            return static_cast<int>(v);
        // A list has no nearer item to fall back on.
        if (entry.kind == K::Integer && outOfRange == OutOfRange::Clamp)
            return static_cast<int>(std::clamp<qlonglong>(v, entry.min, entry.max));
        return std::nullopt;
    }
    case K::Text:
        break;
    }
    return std::nullopt;
}

QString SettingText(const OutputSettingEntry& entry, int number) {
    if (entry.kind == K::Boolean)
        return number != 0 ? QStringLiteral("True") : QStringLiteral("False");
    return QString::number(number);
}

OutputSettings::OutputSettings() {
    for (const OutputSettingEntry& entry : kEntries) {
        if (entry.kind == K::Text)
            outPath_ = DefaultText(entry);
        else
            numbers_[static_cast<int>(entry.id)] = *ParseSettingNumber(entry, DefaultText(entry));
    }
}

bool OutputSettings::apply(OutputSetting id, const QString& text, OutOfRange outOfRange) {
    const OutputSettingEntry& entry = EntryOf(id);
    if (entry.kind == K::Text) {
        outPath_ = text;
        return true;
    }
    const std::optional<int> v = ParseSettingNumber(entry, text, outOfRange);
    if (!v)
        return false;
    if (entry.kind == K::Boolean && *v != 0) {
        for (const auto& group : kGroups) {
            if (std::find(group.begin(), group.end(), id) == group.end())
                continue;
            for (S other : group)
                setNumber(other, 0);
        }
    }
    setNumber(id, *v);
    return true;
}

QString OutputSettings::item(OutputSetting list) const {
    return ListItems(list).value(number(list));
}

QString StoredText(CRegister& reg, OutputSetting id) {
    const OutputSettingEntry& entry = EntryOf(id);
    return reg.REGGetSetting(RegRoot::LocalMachine, kSettingsSection,
                             QString::fromLatin1(entry.name), DefaultText(entry));
}

std::optional<int> StoredNumber(CRegister& reg, OutputSetting id) {
    return ParseSettingNumber(EntryOf(id), StoredText(reg, id), OutOfRange::Clamp);
}

void StoreSettings(CRegister& reg, const QList<std::pair<OutputSetting, QString>>& values) {
    QList<std::pair<QString, QString>> named;
    for (const auto& [id, text] : values)
        named.append({QString::fromLatin1(EntryOf(id).savedAs), text});
    reg.REGSaveSettings(RegRoot::LocalMachine, kSettingsSection, named);
}

void ReadStoredOutputSettings(CRegister& reg, OutputSettings& values) {
    for (const OutputSettingEntry& entry : kEntries)
        values.apply(entry.id, StoredText(reg, entry.id), OutOfRange::Clamp);
}

void WriteOutputSettings(CRegister& reg, const OutputSettings& values) {
    QList<std::pair<OutputSetting, QString>> texts;
    for (const OutputSettingEntry& entry : kEntries) {
        const int v = values.number(entry.id);
        if (entry.kind == K::Text)
            texts.append({entry.id, values.outPath()});
        else if (entry.id != S::optFileFormat || v >= 0)
            texts.append({entry.id, SettingText(entry, v)});
    }
    StoreSettings(reg, texts);
}

} // namespace kv
