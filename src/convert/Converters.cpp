#include "convert/Converters.h"

#include "convert/BatchDriver.h"
#include "convert/Mp3OggConverter.h"
#include "convert/WavConverter.h"

namespace kv {

void RegisterConverters(BatchDriver& driver) {
    driver.setConverter(kFormatWAV, [](const QString& source, const QString& output,
                                       const ConversionOptions&, ConversionControl& control) {
        return ConvertToWAV(source, output, control);
    });
    RegisterMp3OggConverters(driver);
}

} // namespace kv
