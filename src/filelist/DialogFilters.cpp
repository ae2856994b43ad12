#include "filelist/DialogFilters.h"

#include "lang/Captions.h"

namespace kv {
namespace {
QStringList split(const char* patterns) {
    return QString::fromLatin1(patterns).split(QLatin1Char(';'));
}

// "Label" + "(*.a,*.b)" as the entries name their patterns.
DialogFilter named(const QString& name, const char* patterns) {
    const QStringList p = split(patterns);
    return {name + QLatin1Char('(') + p.join(QLatin1Char(',')) + QLatin1Char(')'), p};
}
} // namespace

std::vector<DialogFilter> AudioDialogFilters() {
    // No disc shows up as .cda files here: a CD image's sheet stands for its tracks and is
    // offered with them, under the same labels.
    return {
        {GetCaption(20001, QStringLiteral("All Supported Audio Formats")),
         split("*.cda;*.wav;*.wma;*.mp1;*.mp2;*.mp3;*.mp4;*.ogg;*.aac;*.alac;*.flac;*.ac3;*.spx;"
               "*.mpc;*.tta;*.ape;*.ofr;*.midi;*.adx;*.mod;*.mo3;*.opus;*.m4a;*.cue")},
        named(GetCaption(20002, QStringLiteral("Common Audio Files")), "*.wav;*.wma;*.mp3;*.ogg"),
        named(QStringLiteral("MPEG Files"), "*.mp1;*.mp2;*.mp3;*.mp4"),
        {QStringLiteral("CD Audio Tracks(*.cda)"), split("*.cda;*.cue")},
        named(QStringLiteral("Windows Media Audio Files"), "*.wma"),
        named(QStringLiteral("Ogg Vorbis Files"), "*.ogg"),
        named(QStringLiteral("MOD Files"), "*.mod"),
        named(QStringLiteral("MO3 Files"), "*.mo3"),
        named(QStringLiteral("Apple Lossless Audio Codec Files"), "*.alac"),
        named(QStringLiteral("Advanced Audio Coding Files"), "*.aac"),
        named(QStringLiteral("Dolby Digital Files"), "*.ac3"),
        named(QStringLiteral("Monkey's Audio Files"), "*.ape"),
        named(QStringLiteral("OptimFROG Files"), "*.ofr"),
        named(QStringLiteral("Speex Files"), "*.spx"),
        named(QStringLiteral("True Audio Files"), "*.tta"),
        named(QStringLiteral("Free Lossless Audio Codec Files"), "*.flac"),
        named(QStringLiteral("MIDI Files"), "*.midi"),
        named(QStringLiteral("WavPack Encoded Files"), "*.wv"),
        named(QStringLiteral("ADX Files"), "*.adx"),
        named(QStringLiteral("Opus Files"), "*.opus"),
        named(QStringLiteral("MPEG-4 Audio Files"), "*.m4a"),
    };
}

std::vector<DialogFilter> VideoDialogFilters() {
    return {
        {QStringLiteral("All Supported Video Formats"),
         split("*.wmv;*.asf;*.avi;*.mpg;*.mp2;*.mpeg;*.mp4;*.mov;*.dat")},
        // This entry's label names its patterns in another order than it lists them.
        {QStringLiteral("MPEG Files(*.mpg,*.mpeg,*.mp2,*.mp4)"), split("*.mpg;*.mp2;*.mpeg;*.mp4")},
        named(QStringLiteral("Windows Media Files"), "*.wmv;*.asf"),
        named(QStringLiteral("AVI Files"), "*.avi"),
        named(QStringLiteral("QuickTime Files-Ver2 or less"), "*.mov"),
    };
}

QString AudioDialogTitle() {
    return GetCaption(20003, QStringLiteral("Select one or more audio files"));
}

QString VideoDialogTitle() {
    return QStringLiteral("Select one or more video files");
}

QString QtNameFilter(const DialogFilter& filter) {
    return filter.label + QStringLiteral(" (") + filter.patterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

} // namespace kv
