#include "convert/Converters.h"

#include "convert/BatchDriver.h"
#include "convert/Mp3OggConverter.h"
#include "convert/WavConverter.h"
#include "convert/WmaConverter.h"

namespace kv {

void RegisterConverters(BatchDriver& driver) {
    driver.setConverter(kFormatWAV, [](const QString& source, const QString& output,
                                       const ConversionOptions&, ConversionControl& control) {
        return ConvertToWAV(source, output, control);
    });
    driver.setConverter(kFormatWMA, [](const QString& source, const QString& output,
                                       const ConversionOptions& options,
                                       ConversionControl& control) {
        return ConvertToWMA(source, output, options.wma, control);
    });
    RegisterMp3OggConverters(driver);
}

} // namespace kv
