// File names as bytes: names that are not UTF-8 survive the trip through QString. Finding a
// file by a name Qt decoded with U+FFFD is tested where such names come in (AddingTest,
// BatchToolConvertTest).
#include "settings/NativePath.h"

#include <gtest/gtest.h>

using namespace kv;

TEST(NativePath, EveryByteNameGoesBackToItsBytes) {
    const struct {
        QByteArray bytes;
        bool raw; // holds bytes that are not UTF-8
    } cases[] = {
        {"plain song.wav", false},
        {"caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x8E\xB5.flac", false}, // é, 日 and U+1F3B5
        {"caf\xE9.wav", true},                                    // Latin-1
        {"\xFF\xFE\x80.mp3", true},
        {"cut \xE6\x97.ogg", true},          // a sequence cut short
        {"over\xC0\xAFlong.wav", true},      // an overlong "/"
        {"sur\xED\xA0\x80rogate.wav", true}, // an encoded surrogate
        {"mixed \xC3\xA9\xE9\xF0\x9F\x8E\xB5.wav", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        const QString path = PathFromNative(c.bytes);
        EXPECT_EQ(NativePath(path), c.bytes);
        EXPECT_EQ(HasRawBytes(path), c.raw);
        // Shown and compared as Qt would show the name.
        EXPECT_EQ(DisplayPath(path), QString::fromUtf8(c.bytes));
        if (!c.raw) {
            EXPECT_EQ(path, QString::fromUtf8(c.bytes));
        }
    }
}
