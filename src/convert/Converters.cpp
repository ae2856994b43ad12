#include "convert/Converters.h"

#include "convert/BatchDriver.h"
#include "convert/Mp3OggConverter.h"
#include "convert/SourceWatch.h"
#include "convert/WavConverter.h"
#include "convert/WmaConverter.h"

namespace kv {

Converter ConverterFor(int format) {
    switch (format) {
    case kFormatWAV:
        return WatchingSource(
            [](const QString& source, const QString& output, const ConversionOptions&,
               ConversionControl& control) { return ConvertToWAV(source, output, control); });
    case kFormatWMA:
        return WatchingSource([](const QString& source, const QString& output,
                                 const ConversionOptions& options, ConversionControl& control) {
            return ConvertToWMA(source, output, options.wma, control);
        });
    case kFormatMP3:
    case kFormatOGG:
        return WatchingSource([](const QString& source, const QString& output,
                                 const ConversionOptions& options, ConversionControl& control) {
            return ConvertToMP3_OGG(source, output, options, control);
        });
    }
    return {};
}

void RegisterConverters(BatchDriver& driver) {
    for (const int format : {kFormatWAV, kFormatWMA, kFormatMP3, kFormatOGG})
        driver.setConverter(format, ConverterFor(format));
}

} // namespace kv
