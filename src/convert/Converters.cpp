#include "convert/Converters.h"

#include "convert/BatchDriver.h"
#include "convert/EncodedConverter.h"
#include "convert/Mp3OggConverter.h"
#include "convert/SourceWatch.h"
#include "convert/TagWriter.h"
#include "convert/WavConverter.h"
#include "convert/WmaConverter.h"

namespace kv {
namespace {

Converter plain(int format) {
    switch (format) {
    case kFormatWAV:
        return [](const QString& source, const QString& output, const ConversionOptions&,
                  ConversionControl& control) { return ConvertToWAV(source, output, control); };
    case kFormatWMA:
        return [](const QString& source, const QString& output, const ConversionOptions& options,
                  ConversionControl& control) {
            return ConvertToWMA(source, output, options.wma, control);
        };
    case kFormatMP3:
    case kFormatOGG:
        return [](const QString& source, const QString& output, const ConversionOptions& options,
                  ConversionControl& control) {
            return ConvertToMP3_OGG(source, output, options, control);
        };
    }
    if (const Format* f = FormatOf(format))
        return [f](const QString& source, const QString& output, const ConversionOptions& options,
                   ConversionControl& control) {
            return ConvertEncoded(*f, source, output, options, control);
        };
    return {};
}

// Tags go into a finished file only: the encoders' command lines stay as they are, and a
// cancelled or failed file is left as it ended. They come after the source watch, whose check
// of the claimed output they would otherwise upset (tagging replaces the file).
Converter tagging(int format, Converter convert) {
    return [format, convert = std::move(convert)](const QString& source, const QString& output,
                                                  const ConversionOptions& options,
                                                  ConversionControl& control) {
        const FileOutcome outcome = convert(source, output, options, control);
        if (outcome == FileOutcome::Complete && options.copyTags)
            CopySourceTags(source, output, format, options.wma);
        return outcome;
    };
}

} // namespace

Converter ConverterFor(int format, Converter own) {
    Converter convert = own ? std::move(own) : plain(format);
    if (!convert)
        return {};
    return tagging(format, WatchingSource(std::move(convert)));
}

void RegisterConverters(BatchDriver& driver, Converter wma) {
    for (const int format : {kFormatWAV, kFormatMP3, kFormatOGG})
        driver.setConverter(format, ConverterFor(format));
    for (const Format* f : EncodedFormats())
        driver.setConverter(f->id(), ConverterFor(f->id()));
    driver.setConverter(kFormatWMA, ConverterFor(kFormatWMA, std::move(wma)));
}

} // namespace kv
