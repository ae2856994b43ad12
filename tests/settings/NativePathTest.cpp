// File names as bytes: names that are not UTF-8 survive the trip through QString, and a name
// Qt decoded with U+FFFD finds its file again.
#include "settings/NativePath.h"

#include "MediaTools.h"

#include <sys/stat.h>

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
        if (!c.raw)
            EXPECT_EQ(path, QString::fromUtf8(c.bytes));
    }
}

TEST(NativePath, LossyNamesFindTheirFileUnlessTwoFit) {
    kvtest::ByteNameDir dir;
    const QString folder = dir.path();
    const QString inner = folder + PathFromNative("/sub\xE9");
    ASSERT_EQ(mkdir(NativePath(inner).constData(), 0700), 0);
    const auto make = [&](const QByteArray& name) {
        const QString plain = folder + QStringLiteral("/plain");
        EXPECT_TRUE(kvtest::WriteBytes(plain, "x"));
        const QString real = folder + PathFromNative(name);
        EXPECT_TRUE(kvtest::RenameToNative(plain, real));
        return real;
    };
    const QString deep = make("/sub\xE9/in\xE8.wav");
    make("/twin\xE9.wav");
    make("/twin\xE8.wav");
    // As a dialog or the command line hands it over: each odd byte became U+FFFD.
    const QString lossy = DisplayPath(deep);
    EXPECT_FALSE(StatNative(lossy).exists);
    EXPECT_EQ(ResolveLossyPath(lossy), deep);
    EXPECT_TRUE(StatNative(deep).isFile);
    // Two files fit "twin\uFFFD.wav": which one was meant cannot be told.
    EXPECT_EQ(ResolveLossyPath(folder + QStringLiteral("/twin\uFFFD.wav")), std::nullopt);
    // Nothing fits, or the name is plain: the path stays as it is.
    for (const QString& same : {folder + QStringLiteral("/none\uFFFD.wav"), folder + "/a.wav"})
        EXPECT_EQ(ResolveLossyPath(same), same);
}
