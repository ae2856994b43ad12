#include "formats/WavFileWriter.h"

#include "MediaTools.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <vector>

#include <memory>

using namespace kv;
using namespace kvtest;

namespace {

// What ffprobe, an independent reader, makes of a file: "codec rate channels samples".
QString probe(const QString& path) {
    QStringList values;
    for (const QString& line :
         FfprobeLines(path, "stream=codec_name,sample_rate,channels,duration_ts",
                      {"-select_streams", "a:0", "-count_packets"}))
        values << line.section('=', 1);
    return values.join(' ');
}

std::vector<char> ramp(int bytes) {
    std::vector<char> v(static_cast<size_t>(bytes));
    for (int i = 0; i < bytes; ++i)
        v[static_cast<size_t>(i)] = static_cast<char>(i * 7);
    return v;
}
} // namespace

TEST(WavFileWriter, HeaderFieldsFor16BitStereoAnd8BitMono) {
    const QByteArray h = WavFileWriter::PlainHeader({44100, 2, 16}, 1000);
    ASSERT_EQ(h.size(), 44);
    EXPECT_EQ(h.left(4), QByteArray("RIFF"));
    EXPECT_EQ(Le32(h, 4), 1036u);
    EXPECT_EQ(h.mid(8, 8), QByteArray("WAVEfmt "));
    EXPECT_EQ(Le32(h, 16), 16u);
    EXPECT_EQ(Le16(h, 20), 1);
    EXPECT_EQ(Le16(h, 22), 2);
    EXPECT_EQ(Le32(h, 24), 44100u);
    EXPECT_EQ(Le32(h, 28), 176400u);
    EXPECT_EQ(Le16(h, 32), 4);
    EXPECT_EQ(Le16(h, 34), 16);
    EXPECT_EQ(h.mid(36, 4), QByteArray("data"));
    EXPECT_EQ(Le32(h, 40), 1000u);

    const QByteArray m = WavFileWriter::PlainHeader({8000, 1, 8}, 0);
    EXPECT_EQ(Le16(m, 22), 1);
    EXPECT_EQ(Le16(m, 32), 1);
    EXPECT_EQ(Le16(m, 34), 8);
    EXPECT_EQ(Le32(m, 28), 8000u);
}

TEST(WavFileWriter, SamplesFollowTheHeaderAndSizesArePatched) {
    QTemporaryDir d;
    const QString path = d.filePath("out.wav");
    WavFileWriter w;
    ASSERT_TRUE(w.create(path, {22050, 2, 16}));
    const auto data = ramp(20000 * 3 + 400);
    ASSERT_TRUE(w.write(data.data(), 20000));
    ASSERT_TRUE(w.write(data.data() + 20000, static_cast<std::int64_t>(data.size()) - 20000));
    ASSERT_TRUE(w.finish());
    const QByteArray file = ReadBytes(path);
    ASSERT_EQ(file.size(), 44 + 60400);
    EXPECT_EQ(Le32(file, 4), 60400u + 36);
    EXPECT_EQ(Le32(file, 40), 60400u);
    EXPECT_EQ(file.mid(44), QByteArray(data.data(), static_cast<int>(data.size())));
    EXPECT_EQ(probe(path), QStringLiteral("pcm_s16le 22050 2 15100"));
}

TEST(WavFileWriter, EmptyStreamGivesA44ByteFileWithSizes36And0) {
    QTemporaryDir d;
    const QString path = d.filePath("empty.wav");
    WavFileWriter w;
    ASSERT_TRUE(w.create(path, {44100, 2, 16}));
    ASSERT_TRUE(w.finish());
    const QByteArray file = ReadBytes(path);
    ASSERT_EQ(file.size(), 44);
    EXPECT_EQ(Le32(file, 4), 36u);
    EXPECT_EQ(Le32(file, 40), 0u);
}

TEST(WavFileWriter, NeverReplacesAnExistingFileAndAbandonLeavesSizesZero) {
    QTemporaryDir d;
    const QString path = d.filePath("taken.wav");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    WavFileWriter w;
    EXPECT_FALSE(w.create(path, {44100, 2, 16}));
    EXPECT_EQ(ReadBytes(path), QByteArray("keep me"));

    const QString other = d.filePath("failed.wav");
    WavFileWriter f;
    ASSERT_TRUE(f.create(other, {44100, 1, 16}));
    const auto data = ramp(1000);
    ASSERT_TRUE(f.write(data.data(), 1000));
    f.abandon();
    const QByteArray file = ReadBytes(other);
    EXPECT_EQ(file.size(), 1044);
    EXPECT_EQ(Le32(file, 4), 0u);
    EXPECT_EQ(Le32(file, 40), 0u);
}

TEST(WavFileWriter, DataPastThePlainLimitIsRewrittenAsRf64) {
    QTemporaryDir d;
    const QString path = d.filePath("big.wav");
    WavFileWriter w;
    w.setPlainLimit(4000);
    ASSERT_TRUE(w.create(path, {8000, 2, 16}));
    const auto data = ramp(3 * 1048576 + 12); // more than one move block
    ASSERT_TRUE(w.write(data.data(), static_cast<std::int64_t>(data.size())));
    ASSERT_TRUE(w.finish());
    const QByteArray file = ReadBytes(path);
    ASSERT_EQ(file.size(), 80 + static_cast<int>(data.size()));
    EXPECT_EQ(file.left(4), QByteArray("RF64"));
    EXPECT_EQ(Le32(file, 4), 0xFFFFFFFFu);
    EXPECT_EQ(file.mid(12, 4), QByteArray("ds64"));
    EXPECT_EQ(qFromLittleEndian<quint64>(file.constData() + 20), quint64(file.size() - 8));
    EXPECT_EQ(qFromLittleEndian<quint64>(file.constData() + 28), quint64(data.size()));
    EXPECT_EQ(qFromLittleEndian<quint64>(file.constData() + 36), quint64(data.size() / 4));
    EXPECT_EQ(file.mid(48, 4), QByteArray("fmt "));
    EXPECT_EQ(file.mid(72, 4), QByteArray("data"));
    EXPECT_EQ(file.mid(80), QByteArray(data.data(), static_cast<int>(data.size())));
    EXPECT_EQ(probe(path), QStringLiteral("pcm_s16le 8000 2 %1").arg(data.size() / 4));
}

TEST(WavFileWriter, AWriteThatDoesNotFitFailsInsteadOfFinishing) {
    // A file-size limit makes writes fail as a full disk would.
    QTemporaryDir d;
    auto limit = std::make_unique<FileSizeLimit>(100000);
    ASSERT_TRUE(limit->active());
    WavFileWriter w;
    bool created = w.create(d.filePath("full.wav"), {44100, 2, 16});
    const auto data = ramp(50000);
    bool wrote = created;
    for (int i = 0; i < 4 && wrote; ++i)
        wrote = w.write(data.data(), 50000);
    const bool finished = wrote && w.finish();
    if (!wrote)
        w.abandon();
    limit.reset();
    ASSERT_TRUE(created);
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(finished);
}

TEST(WavFileWriter, ByteRatesPastThirtyTwoBitsAreRefused) {
    QTemporaryDir d;
    const struct {
        int rate, channels, bits;
        bool made;
    } cases[] = {
        {536870912, 2, 16, true},   // 2^31 bytes a second: past a signed int, within the field
        {2147483647, 1, 16, true},  // 2^32 - 2 bytes a second
        {1073741824, 2, 16, false}, // exactly 2^32
        {1200000000, 2, 16, false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rate);
        const QString path = d.filePath(QStringLiteral("r%1.wav").arg(n++));
        WavFileWriter w;
        ASSERT_EQ(w.create(path, {c.rate, c.channels, c.bits}), c.made);
        if (!c.made) {
            EXPECT_TRUE(w.errorString().contains(QString::number(c.rate) + " Hz"))
                << w.errorString().toStdString();
            EXPECT_FALSE(QFile::exists(path));
            continue;
        }
        ASSERT_TRUE(w.finish());
        const QByteArray h = ReadBytes(path);
        EXPECT_EQ(Le32(h, 24), quint32(c.rate));
        EXPECT_EQ(Le32(h, 28), quint64(c.rate) * c.channels * c.bits / 8);
    }
}
