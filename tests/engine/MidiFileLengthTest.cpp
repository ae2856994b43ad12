// Play time of MIDI files from their tempo map.
#include "engine/MidiFileLength.h"
#include "SynthFixtures.h"

#include <gtest/gtest.h>

using namespace kv;

namespace {
QByteArray header(int format, int tracks, int division) {
    QByteArray h("MThd\0\0\0\6", 8);
    for (int v : {format, tracks, division}) {
        h.append(char((v >> 8) & 0xFF));
        h.append(char(v & 0xFF));
    }
    return h;
}
QByteArray track(const QByteArray& events) {
    QByteArray t("MTrk");
    const int n = events.size();
    t.append(char(n >> 24)).append(char(n >> 16)).append(char(n >> 8)).append(char(n));
    return t + events;
}
} // namespace

TEST(MidiFileSeconds, FollowsTempoChangesAcrossTracks) {
    const std::optional<double> s = MidiFileSeconds(kvtest::MakeMidiFile());
    ASSERT_TRUE(s.has_value());
    EXPECT_NEAR(*s, kvtest::kMidiFileSeconds, 1e-9);
}

TEST(MidiFileSeconds, DefaultTempoAndSmpteDivision) {
    // 960 ticks at 480 a quarter and the default 120 BPM: one second.
    const QByteArray events("\x87\x40\xFF\x2F\x00", 5);
    EXPECT_NEAR(*MidiFileSeconds(header(0, 1, 480) + track(events)), 1.0, 1e-9);
    // 25 frames a second, 40 ticks a frame: 960 ticks are 0.96 seconds.
    EXPECT_NEAR(*MidiFileSeconds(header(0, 1, 0xE728) + track(events)), 0.96, 1e-9);
}

TEST(MidiFileSeconds, RefusesMalformedData) {
    const QByteArray good = kvtest::MakeMidiFile();
    EXPECT_FALSE(MidiFileSeconds(QByteArray()).has_value());
    EXPECT_FALSE(MidiFileSeconds(QByteArray("RIFF....WAVE")).has_value());
    EXPECT_FALSE(MidiFileSeconds(good.left(20)).has_value());
    EXPECT_FALSE(MidiFileSeconds(good.left(good.size() - 3)).has_value());
    EXPECT_FALSE(
        MidiFileSeconds(header(3, 1, 480) + track(QByteArray("\0\xFF\x2F\0", 4))).has_value());
    EXPECT_FALSE(
        MidiFileSeconds(header(0, 1, 0) + track(QByteArray("\0\xFF\x2F\0", 4))).has_value());
    // A data byte with no status before it.
    EXPECT_FALSE(
        MidiFileSeconds(header(0, 1, 480) + track(QByteArray("\0\x3C\x40", 3))).has_value());
    // A variable-length number longer than four bytes.
    EXPECT_FALSE(MidiFileSeconds(header(0, 1, 480) + track(QByteArray("\xFF\xFF\xFF\xFF\x7F", 5)))
                     .has_value());
}
