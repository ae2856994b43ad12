#pragma once

#include "settings/OutputSettings.h"

#include <QMetaType>
#include <QString>

#include <array>
#include <functional>

namespace kv {

// What passes between the batch (convert/) and the formats (formats/): the options a file is
// converted with, how a converter reports, and what it returns.

// The output formats, in the order of the format buttons.
// (Each is a Format of the registry: see formats/Format.h.)
enum OutputFormat : int {
    kFormatWAV = 0,
    kFormatWMA = 1,
    kFormatMP3 = 2,
    kFormatOGG = 3,
    kFormatFLAC = 4,
    kFormatOpus = 5,
    kFormatM4A = 6,
};
// "wav", "wma", "mp3", "ogg", "flac", "opus", "m4a"; "" for no format.
QString OutputExtension(int format);

// The output folder choice as the window holds it.
struct OutputFolderChoice {
    bool sameFolder = true; // optSameFolder, else optOtherFolder with txtOutPath
    QString outPath;        // txtOutPath
    bool operator==(const OutputFolderChoice&) const = default;
};

// How an encoder picks its bitrate; None while no mode button is selected.
enum class BitrateMode { None, Constant, Average, Variable };

// The encoder options as the options panel shows them (see ConversionOptionsFrom).
struct Mp3Options {
    BitrateMode mode = BitrateMode::None;
    int constantKbps = 0;    // cmbMP3CBitrate
    int averageKbps = 0;     // cmbMP3ABitrate
    int vbrValue = 0;        // SliderMP3VBR, 0 to 9
    int encoderQuality = 0;  // SliderMP3EncoderQuality, 0 to 9
    int freqIndex = 0;       // cmbMP3Freq, 0 for "Auto Sampling"
    int stereoModeIndex = 0; // cmbMP3StereoMode, 0 "Mono" to 4 "Dual Channels"
    bool operator==(const Mp3Options&) const = default;
};

struct OggOptions {
    BitrateMode mode = BitrateMode::None; // Constant or Variable
    int constantKbps = 0;                 // cmbOGGCBitrate
    int variableKbps = 0;                 // cmbOGGVBitrate
    int quality = 0;                      // sliderOGG, -2 to 10
    bool operator==(const OggOptions&) const = default;
};

struct WmaOptions {
    int quality = 0;                 // sliderWMA, 0 to 100
    int bitrateIndex = -1;           // the choice in cmbWMAEncodingBitrate, -1 while it is empty
    bool tags = false;               // chkWMAFileTags
    std::array<QString, 8> tagTexts; // txtWMATags
    bool operator==(const WmaOptions&) const = default;
};

// What a batch reads at the start of every file: a change during a batch applies from the
// next file on.
struct ConversionOptions {
    int outputFormat = -1; // -1 when no format button is selected
    OutputFolderChoice folder;
    Mp3Options mp3;
    OggOptions ogg;
    WmaOptions wma;
    // Files converted at once (spnSimultaneous); read when a batch starts.
    int jobs = 1;
    bool copyTags = true; // chkCopyTags: the source's tags into every "Complete" output
    // Every output setting, for the formats that read their own (formats/Format.h).
    OutputSettings settings;
    bool operator==(const ConversionOptions&) const = default;
};

enum class FileOutcome { Complete, Cancelled, Error };

// What a converter sees of the batch: the stop flag, polled after every block, and where its
// progress goes.
class ConversionControl {
public:
    virtual ~ConversionControl() = default;
    virtual bool stopRequested() const = 0;
    // Percent of the file done (0 to 100).
    virtual void progress(double percent) = 0;
    // Why the file failed: the file concerned and the system's reason.
    virtual void reportError(const QString& reason) { Q_UNUSED(reason) }
};

// Converts `source` into `output`, which the batch has claimed for it: an empty file that
// belongs to this conversion alone, held open by the batch (take it with OpenClaimedOutput;
// remove it on failure with RemoveOwnOutput, never by name alone). On Error the batch removes
// the claimed file if it is still empty and still at its name.
using Converter =
    std::function<FileOutcome(const QString& source, const QString& output,
                              const ConversionOptions& options, ConversionControl& control)>;

} // namespace kv

Q_DECLARE_METATYPE(kv::FileOutcome)
