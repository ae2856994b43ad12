#include "formats/WavFormat.h"
#include "engine/DecodeStream.h"
#include "engine/Decoders.h"

#include "ConversionControls.h"
#include "MediaTools.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <memory>

using namespace kv;
using namespace kvtest;

namespace {
// sox's own reading of a WAV: "channels rate bits samples".
QString soxInfo(const QString& path) {
    QStringList parts;
    for (const char* opt : {"-c", "-r", "-b", "-s"})
        parts << QString::fromUtf8(RunTool("soxi", {opt, path}).out).trimmed();
    return parts.join(' ');
}

class WavConversion : public ::testing::Test {
protected:
    void SetUp() override { RegisterDecoders(); }
    QString at(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};
} // namespace

TEST_F(WavConversion, StereoFlacGivesTheSameSamplesAsAnIndependentDecode) {
    const QString src = at("tone é 'x'.flac");
    ASSERT_TRUE(MakeSine(src, 3.0, 44100, 2, {"-c:a", "flac"}));
    CountingControl control;
    EXPECT_EQ(ConvertToWAV(src, at("out.wav"), control), FileOutcome::Complete);
    const QByteArray file = ReadBytes(at("out.wav"));
    ASSERT_GE(file.size(), 44);
    EXPECT_EQ(Le16(file, 22), 2);
    EXPECT_EQ(Le32(file, 24), 44100u);
    EXPECT_EQ(Le32(file, 28), 176400u);
    EXPECT_EQ(Le16(file, 32), 4);
    EXPECT_EQ(Le16(file, 34), 16);
    const auto reference = FfmpegDecode(src, "s16le");
    ASSERT_TRUE(reference);
    EXPECT_EQ(Le32(file, 40), quint32(reference->size()));
    EXPECT_EQ(Le32(file, 4), quint32(reference->size() + 36));
    EXPECT_TRUE(file.mid(44) == *reference);
    EXPECT_EQ(soxInfo(at("out.wav")), QStringLiteral("2 44100 16 %1").arg(reference->size() / 4));
    // Progress rose to the whole file.
    EXPECT_GT(control.reports, 20);
    EXPECT_NEAR(control.last, 100.0, 0.01);
}

TEST_F(WavConversion, EightBitMonoStaysEightBit) {
    const QString src = at("u8.wav");
    ASSERT_TRUE(MakeSine(src, 1.5, 11025, 1, {"-c:a", "pcm_u8"}));
    CountingControl control;
    EXPECT_EQ(ConvertToWAV(src, at("out.wav"), control), FileOutcome::Complete);
    const QByteArray file = ReadBytes(at("out.wav"));
    EXPECT_EQ(Le16(file, 22), 1);
    EXPECT_EQ(Le16(file, 32), 1);
    EXPECT_EQ(Le16(file, 34), 8);
    EXPECT_EQ(Le32(file, 28), 11025u);
    const auto reference = FfmpegDecode(src, "u8");
    ASSERT_TRUE(reference);
    EXPECT_TRUE(file.mid(44) == *reference);
    EXPECT_EQ(soxInfo(at("out.wav")), QStringLiteral("1 11025 8 %1").arg(reference->size()));
}

TEST_F(WavConversion, FivePointOneIsMixedDownToStereo) {
    const QString src = at("surround.wav");
    ASSERT_TRUE(
        MakeWithFfmpeg({"-f", "lavfi", "-i", "sine=frequency=300:sample_rate=48000:duration=2",
                        "-af", "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0", "-c:a", "pcm_s16le"},
                       src));
    ASSERT_EQ(FfprobeAudio(src)->channels, 6);
    CountingControl control;
    EXPECT_EQ(ConvertToWAV(src, at("out.wav"), control), FileOutcome::Complete);
    const QByteArray file = ReadBytes(at("out.wav"));
    EXPECT_EQ(Le16(file, 22), 2);
    EXPECT_EQ(Le16(file, 32), 4);
    // Header and samples agree: 2 s of 48 kHz stereo frames, as sox counts them.
    EXPECT_EQ(Le32(file, 40), quint32(file.size() - 44));
    EXPECT_EQ(soxInfo(at("out.wav")), QStringLiteral("2 48000 16 96000"));
    // The mix is audible: not silence.
    const auto* samples = reinterpret_cast<const qint16*>(file.constData() + 44);
    int peak = 0;
    for (int i = 0; i < 96000 * 2; ++i)
        peak = std::max(peak, std::abs(int(samples[i])));
    EXPECT_GT(peak, 3000);
}

TEST_F(WavConversion, CancelledFileIsAValidShorterWave) {
    const QString src = at("long.flac");
    ASSERT_TRUE(MakeSine(src, 5.0, 44100, 2, {"-c:a", "flac"}));
    CountingControl control(3);
    EXPECT_EQ(ConvertToWAV(src, at("out.wav"), control), FileOutcome::Cancelled);
    const QByteArray file = ReadBytes(at("out.wav"));
    EXPECT_EQ(file.size(), 44 + 3 * kWavBlockBytes);
    EXPECT_EQ(Le32(file, 40), quint32(3 * kWavBlockBytes));
    EXPECT_EQ(Le32(file, 4), quint32(3 * kWavBlockBytes + 36));
    EXPECT_EQ(soxInfo(at("out.wav")), QStringLiteral("2 44100 16 %1").arg(3 * kWavBlockBytes / 4));
}

TEST_F(WavConversion, EmptyStreamGivesA44ByteFile) {
    const QString src = at("empty.wav");
    ASSERT_TRUE(MakeWithFfmpeg(
        {"-f", "lavfi", "-i", "anullsrc=r=22050:cl=mono", "-t", "0", "-c:a", "pcm_s16le"}, src));
    CountingControl control;
    EXPECT_EQ(ConvertToWAV(src, at("out.wav"), control), FileOutcome::Complete);
    const QByteArray file = ReadBytes(at("out.wav"));
    ASSERT_EQ(file.size(), 44);
    EXPECT_EQ(Le32(file, 4), 36u);
    EXPECT_EQ(Le32(file, 40), 0u);
    EXPECT_EQ(Le16(file, 22), 1);
    EXPECT_EQ(Le32(file, 24), 22050u);
}

TEST_F(WavConversion, FailuresEndInErrorAndLeaveNoOutput) {
    // A source that does not decode creates no file.
    ASSERT_TRUE(WriteBytes(at("noise.wav"), QByteArray(5000, '\x5a')));
    CountingControl control;
    EXPECT_EQ(ConvertToWAV(at("noise.wav"), at("a.wav"), control), FileOutcome::Error);
    EXPECT_FALSE(QFileInfo::exists(at("a.wav")));
    EXPECT_EQ(LiveStreamCount(), 0);

    const QString src = at("ok.flac");
    ASSERT_TRUE(MakeSine(src, 1.0, 44100, 2, {"-c:a", "flac"}));
    // An unwritable folder, as a user meets it (root too).
    QDir().mkdir(at("locked"));
    QFile::setPermissions(at("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    RunWithoutFileOverrides(
        [&] { EXPECT_EQ(ConvertToWAV(src, at("locked/b.wav"), control), FileOutcome::Error); });
    EXPECT_FALSE(QFileInfo::exists(at("locked/b.wav")));
    // A folder nobody may write to, root included.
    EXPECT_EQ(ConvertToWAV(src, "/proc/kelvanto-test.wav", control), FileOutcome::Error);
    // A missing folder, and no output name at all.
    EXPECT_EQ(ConvertToWAV(src, at("gone/c.wav"), control), FileOutcome::Error);
    EXPECT_EQ(ConvertToWAV(src, QString(), control), FileOutcome::Error);
    // An existing file is never overwritten.
    ASSERT_TRUE(WriteBytes(at("keep.wav"), "precious"));
    EXPECT_EQ(ConvertToWAV(src, at("keep.wav"), control), FileOutcome::Error);
    EXPECT_EQ(ReadBytes(at("keep.wav")), QByteArray("precious"));
    EXPECT_EQ(LiveStreamCount(), 0);
}

TEST_F(WavConversion, AWriteFailureHalfWayIsAnErrorNotAComplete) {
    const QString src = at("big.flac");
    ASSERT_TRUE(MakeSine(src, 4.0, 44100, 2, {"-c:a", "flac"}));
    // A file-size limit makes the writes fail part-way, as a full disk would.
    auto limit = std::make_unique<FileSizeLimit>(200000);
    ASSERT_TRUE(limit->active());
    CountingControl control;
    const FileOutcome outcome = ConvertToWAV(src, at("full.wav"), control);
    limit.reset();
    EXPECT_EQ(outcome, FileOutcome::Error);
    EXPECT_FALSE(QFileInfo::exists(at("full.wav")));
    EXPECT_GT(control.reports, 0);
}
