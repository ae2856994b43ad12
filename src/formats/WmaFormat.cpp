#include "formats/WmaFormat.h"

#include "formats/DecodePump.h"
#include "formats/OutputFile.h"
#include "formats/WmaFileWriter.h"
#include "engine/Decoders.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace kv {

const std::array<QString, 8>& WmaTagNameList() {
    static const std::array<QString, 8> names = {
        QStringLiteral("Title"),       QStringLiteral("Author"), QStringLiteral("WM/AlbumTitle"),
        QStringLiteral("Description"), QStringLiteral("Rating"), QStringLiteral("Copyright"),
        QStringLiteral("WM/Genre"),    QStringLiteral("WM/Year")};
    return names;
}

QString ApplyWmaTagOption(WmaOptions& options, const QString& assignment) {
    const qsizetype eq = assignment.indexOf(QLatin1Char('='));
    const QString name = assignment.left(eq);
    const auto& names = WmaTagNameList();
    const auto it = std::find_if(names.begin(), names.end(), [&](const QString& n) {
        return n.compare(name, Qt::CaseInsensitive) == 0;
    });
    if (eq < 0 || it == names.end()) {
        QStringList all(names.begin(), names.end());
        return QStringLiteral("--wma-tag takes NAME=TEXT, NAME one of %1")
            .arg(all.join(QStringLiteral(", ")));
    }
    options.tags = true;
    options.tagTexts[static_cast<size_t>(it - names.begin())] = assignment.mid(eq + 1);
    return QString();
}

FileOutcome ConvertToWMA(const QString& source, const QString& output, const WmaOptions& options,
                         ConversionControl& control, WmaBitrateChoice* chosen) {
    // The output is taken first: a missing name or the empty file that claimed it, never
    // anyone else's file. A failed file then leaves nothing under its name, and removes only
    // the file it held.
    QFile out;
    QString why;
    if (!OpenClaimedOutput(out, output, &why)) {
        control.reportError(!output.isEmpty() && QFileInfo::exists(output)
                                ? output + QStringLiteral(" already exists")
                                : why);
        return FileOutcome::Error;
    }
    auto fail = [&](const QString& reason) {
        control.reportError(reason);
        RemoveOwnOutput(out.handle(), output);
        return FileOutcome::Error;
    };
    if (!WmaEncoderPresent())
        return fail(QStringLiteral("the WMA encoder (%1) is not in this system's FFmpeg")
                        .arg(QString::fromLatin1(WmaEncoderName())));

    StreamOpenOptions streamOptions;
    streamOptions.maxChannels = kWmaMaxChannels;
    std::unique_ptr<DecodeStream> stream = OpenStreamUnicode(source, streamOptions);
    if (!stream)
        return fail(SourceFailure(source));
    const StreamInfo& info = stream->info();
    const WmaBitrateChoice choice =
        GetWMABitRateFromQuality(WmaEncodingRate(info.sampleRate), info.channels, options.quality);
    if (chosen)
        *chosen = choice;

    WmaTags tags;
    if (options.tags) {
        for (size_t i = 0; i < options.tagTexts.size(); ++i) {
            if (!options.tagTexts[i].isEmpty())
                tags.emplace_back(WmaTagNameList()[i], options.tagTexts[i]);
        }
    }
    if (choice.bitrate <= 0)
        return fail(QStringLiteral("no WMA bitrate suits %1 channels at %2 Hz")
                        .arg(info.channels)
                        .arg(info.sampleRate));
    WmaFileWriter writer;
    if (!writer.open(out.handle(), output, PcmFormat{info.sampleRate, info.channels, info.eightBit},
                     choice.bitrate, tags))
        return fail(writer.errorString());

    return PumpIntoWriter(stream, kWmaBlockBytes, control, source, writer, fail);
}

FileOutcome WmaFormat::convert(const QString& source, const QString& output,
                               const ConversionOptions& options, ConversionControl& control) const {
    return ConvertToWMA(source, output, options.wma, control);
}

QString WmaFormat::summary(const OutputSettings& settings) const {
    return QStringLiteral("WMA,Encoding Quality= ") +
           QString::number(settings.number(OutputSetting::sliderWMA));
}

} // namespace kv
