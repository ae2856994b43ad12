// Sources once converted into a wrong file called complete, through the batch in every format:
// many channels come out whole with every channel heard; a cut source ends Error, saying so.
#include "convert/Converters.h"
#include "convert/SettingsOptions.h"
#include "engine/Decoders.h"
#include "settings/ProgramFolder.h"

#include "MediaTools.h"

#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

using namespace kv;
using namespace kvtest;

// The amplitude of the tone `hz` in the loudest channel of interleaved 16-bit `pcm` (Goertzel).
static double toneLevel(const QByteArray& pcm, int channels, int rate, double hz) {
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    const qsizetype frames = channels > 0 ? pcm.size() / 2 / channels : 0;
    const double k = 2 * std::cos(2 * M_PI * hz / rate);
    double loudest = 0;
    for (int c = 0; c < channels && frames > 0; ++c) {
        double s1 = 0, s2 = 0;
        for (qsizetype f = 0; f < frames; ++f)
            s2 = std::exchange(s1, s[f * channels + c] / 32768.0 + k * s1 - s2);
        loudest = std::max(loudest, 2 * std::sqrt(s1 * s1 + s2 * s2 - k * s1 * s2) / frames);
    }
    return loudest;
}

TEST(SourceFidelity, EveryChannelIsHeardAndACutSourceEndsInError) {
    RegisterDecoders();
    QTemporaryDir dir;
    SetProgramFolder(dir.filePath("prog"));
    QDir().mkpath(dir.filePath("prog"));
    const auto hz = [](int channel) { return 300.0 + 250 * channel; };
    const std::vector<int> counts = {9, 10, 12, 16};
    QStringList sources;
    for (const int n : counts) {
        QStringList tones;
        for (int c = 0; c < n; ++c)
            tones << QStringLiteral("0.1*sin(2*PI*%1*t)").arg(hz(c));
        sources << dir.filePath(QStringLiteral("ch%1.wav").arg(n));
        const QString lavfi = QStringLiteral("aevalsrc=%1:s=48000:d=2").arg(tones.join('|'));
        ASSERT_TRUE(MakeWithFfmpeg({"-f", "lavfi", "-i", lavfi}, sources.last()));
    }
    // 12 s of noise whose header states it all, cut to its first third.
    for (const char* cut : {"cut.flac", "cut.wav"}) {
        sources << dir.filePath(cut);
        ASSERT_TRUE(
            MakeWithFfmpeg({"-f", "lavfi", "-i", "anoisesrc=d=12:a=0.3:r=22050"}, sources.last()));
        ASSERT_TRUE(QFile::resize(sources.last(), QFileInfo(sources.last()).size() / 3));
    }
    for (const int format : {kFormatWAV, kFormatWMA, kFormatMP3, kFormatOGG}) {
        SCOPED_TRACE(OutputExtension(format).toStdString());
        BatchDriver driver;
        driver.setConverter(format, ConverterFor(format));
        ConversionOptions options = ConversionOptionsFrom(OutputSettings{});
        options.outputFormat = format;
        options.folder = {false, dir.filePath(OutputExtension(format))};
        driver.setOptions(options);
        std::map<FileListRowId, std::tuple<FileOutcome, QString, QString>> ended;
        QObject::connect(
            &driver, &BatchDriver::fileFinished, &driver,
            [&](FileListRowId id, FileOutcome o, const QString& out, const QString& e) {
                ended[id] = {o, out, e};
            });
        std::vector<BatchRow> rows;
        for (const QString& s : sources)
            rows.push_back({FileListRowId(rows.size() + 1), s, true, true});
        ASSERT_TRUE(driver.start(rows, false));
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended.size() == rows.size(); }, 120000));
        for (size_t i = 0; i < rows.size(); ++i) {
            const auto& [outcome, out, error] = ended[FileListRowId(i + 1)];
            SCOPED_TRACE(sources[qsizetype(i)].toStdString());
            const bool cut = i >= counts.size(); // an error that says so, and no output left
            EXPECT_EQ(outcome, cut ? FileOutcome::Error : FileOutcome::Complete)
                << error.toStdString();
            EXPECT_EQ(error.contains("cut short"), cut);
            if (cut) {
                EXPECT_FALSE(QFileInfo::exists(out));
                continue;
            }
            const ProbeInfo p = FfprobeAudio(out).value_or(ProbeInfo{});
            EXPECT_NEAR(p.duration, 2.0, 0.1);
            const QByteArray pcm = FfmpegDecode(out, "s16le").value_or(QByteArray());
            // Each tone heard, mixed with up to 15 others (a lost one measures below 0.0001).
            for (int c = 0; c < counts[i]; ++c)
                EXPECT_GT(toneLevel(pcm, p.channels, p.sampleRate, hz(c)), 0.003)
                    << "source channel " << c;
        }
    }
    SetProgramFolder(QString());
}
