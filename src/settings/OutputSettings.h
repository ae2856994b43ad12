#pragma once

#include "settings/CRegister.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace kv {

// The output settings: one stored value per control of the options panel and of the output
// folder choice, in the order they are saved (which is also the order they are loaded).
enum class OutputSetting : int {
    optOtherFolder,
    optSameFolder,
    txtOutPath,
    optFileFormat,
    sliderWMA,
    cmbMP3StereoMode,
    cmbMP3Freq,
    SliderMP3EncoderQuality,
    optMP3CBR,
    optMP3ABR,
    optMP3VBR,
    SliderMP3VBR,
    cmbMP3CBitrate,
    cmbMP3ABitrate,
    sliderOGG,
    optOGGCBR,
    optOGGVBR,
    cmbOGGCBitrate,
    cmbOGGVBitrate,
    spnSimultaneous, // files converted at once; after the nineteen of the original store
    chkCopyTags,
    // The formats encoded in-process, after the twenty-one above.
    sliderFLACLevel,   // FLAC compression level, 0 to 8
    sliderOpusBitrate, // Opus kbit/s for stereo, 32 to 256
    sliderM4ABitrate,  // AAC kbit/s for stereo, 64 to 320
    chkSubfolders,     // a folder added brings the files of its sub-folders too
};
inline constexpr int kOutputSettingCount = 25;

enum class SettingKind {
    Boolean, // an option button or a check box: "True"/"False"
    Text,    // the output folder
    Index,   // a list choice or the format button, zero-based
    Integer, // a slider value
};

struct OutputSettingEntry {
    OutputSetting id;
    const char* name;    // as it is read; names match without regard to case
    const char* savedAs; // as it is written
    SettingKind kind;
    int min, max;            // range of an index or an integer
    const char* defaultText; // nullptr for the output folder, see DefaultOutputFolder()
};

const std::array<OutputSettingEntry, kOutputSettingCount>& OutputSettingTable();
const OutputSettingEntry& EntryOf(OutputSetting id);
// The setting of that name, matched without regard to case; nullptr when there is none.
const OutputSettingEntry* FindOutputSetting(const QString& name);

// Where results go until the user picks a folder: "Converted Files" in the home folder.
QString DefaultOutputFolder();
QString DefaultText(const OutputSettingEntry& entry);

// The fixed lists of the options panel, in their order (the stored value is the index), and
// the captions of the format buttons, which are the same in every language. Empty for the
// other settings.
const QStringList& ListItems(OutputSetting list);
// The leading decimal number of a list item: "128 Kbps" 128, "44.1 KHz" 44.1, else 0.
double LeadingNumber(const QString& item);

// What a whole number outside a slider's or count's range becomes: a stored value is taken as
// the control's setter takes it, pulled to the nearer end; a value asked for by name is refused.
enum class OutOfRange { Refuse, Clamp };

// A stored text as its control takes it: a boolean as "True"/"False" (any case) or a whole
// number (0 is false), an index as a whole number within its list, a slider value or count as
// a whole number, within its range or as `outOfRange` says. Empty when the control cannot take
// it. Not for the output folder, whose every text is taken.
std::optional<int> ParseSettingNumber(const OutputSettingEntry& entry, const QString& text,
                                      OutOfRange outOfRange = OutOfRange::Refuse);
// A control's value as the store holds it.
QString SettingText(const OutputSettingEntry& entry, int number);

// The values of the output settings, as the controls hold them. Option buttons are 1 when
// selected; the format is -1 when no format button is selected.
class OutputSettings {
public:
    OutputSettings(); // every default

    int number(OutputSetting id) const { return numbers_[static_cast<int>(id)]; }
    bool selected(OutputSetting id) const { return number(id) != 0; }
    const QString& outPath() const { return outPath_; }
    void setNumber(OutputSetting id, int value) { numbers_[static_cast<int>(id)] = value; }
    void setOutPath(const QString& path) { outPath_ = path; }

    // Sets a value from its stored text the way its control would take it: selecting an
    // option button clears the other buttons of its group. False, and nothing changes, when
    // the control cannot take the text.
    bool apply(OutputSetting id, const QString& text, OutOfRange outOfRange = OutOfRange::Refuse);

    // The visible text of a list's current item.
    QString item(OutputSetting list) const;

    bool operator==(const OutputSettings&) const = default;

private:
    std::array<int, kOutputSettingCount> numbers_{};
    QString outPath_;
};

// One stored value, its default when none is stored; as a number, empty when its control
// cannot take the stored text (a slider value or count out of range is clamped).
QString StoredText(CRegister& reg, OutputSetting id);
std::optional<int> StoredNumber(CRegister& reg, OutputSetting id);
// Writes values under their saved names, in one replacement of the store.
void StoreSettings(CRegister& reg, const QList<std::pair<OutputSetting, QString>>& values);

// Applies every stored value over `values`, in the loading order, as StoredNumber reads it; a
// value the control cannot take leaves that control as it was.
void ReadStoredOutputSettings(CRegister& reg, OutputSettings& values);
// Writes the values in order, all at once; the format only when a format button is
// selected.
void WriteOutputSettings(CRegister& reg, const OutputSettings& values);

} // namespace kv
