#include "convert/Converters.h"

#include "convert/BatchDriver.h"
#include "convert/SourceWatch.h"
#include "formats/Format.h"
#include "formats/TagWriter.h"

namespace kv {
namespace {

Converter plain(int format) {
    const Format* f = FormatOf(format);
    if (f == nullptr)
        return {};
    return [f](const QString& source, const QString& output, const ConversionOptions& options,
               ConversionControl& control) { return f->convert(source, output, options, control); };
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
    for (const Format* f : Formats()) {
        Converter own = f->id() == kFormatWMA ? wma : Converter();
        driver.setConverter(f->id(), ConverterFor(f->id(), std::move(own)));
    }
}

} // namespace kv
