#include "convert/Converters.h"

#include "convert/BatchDriver.h"
#include "convert/Mp3OggConverter.h"
#include "convert/TagWriter.h"
#include "convert/WavConverter.h"
#include "convert/WmaConverter.h"

namespace kv {
namespace {

// Tags go into a finished file only: the encoders' command lines stay as they are, and a
// cancelled or failed file is left as it ended.
void setTagging(BatchDriver& driver, int format, Converter convert) {
    driver.setConverter(format, [format, convert = std::move(convert)](
                                    const QString& source, const QString& output,
                                    const ConversionOptions& options, ConversionControl& control) {
        const FileOutcome outcome = convert(source, output, options, control);
        if (outcome == FileOutcome::Complete && options.copyTags)
            CopySourceTags(source, output, format, options.wma);
        return outcome;
    });
}

} // namespace

void RegisterConverters(BatchDriver& driver, Converter wma) {
    setTagging(driver, kFormatWAV,
               [](const QString& source, const QString& output, const ConversionOptions&,
                  ConversionControl& control) { return ConvertToWAV(source, output, control); });
    if (!wma)
        wma = [](const QString& source, const QString& output, const ConversionOptions& options,
                 ConversionControl& control) {
            return ConvertToWMA(source, output, options.wma, control);
        };
    setTagging(driver, kFormatWMA, std::move(wma));
    for (const int format : {kFormatMP3, kFormatOGG})
        setTagging(driver, format,
                   [](const QString& source, const QString& output,
                      const ConversionOptions& options, ConversionControl& control) {
                       return ConvertToMP3_OGG(source, output, options, control);
                   });
}

} // namespace kv
