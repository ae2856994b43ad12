#include "SynthFixtures.h"

namespace kvtest {

namespace {
void be16(QByteArray& b, int v) {
    b.append(char((v >> 8) & 0xFF));
    b.append(char(v & 0xFF));
}
void be32(QByteArray& b, quint32 v) {
    be16(b, int(v >> 16));
    be16(b, int(v & 0xFFFF));
}
void vlq(QByteArray& b, quint32 v) {
    QByteArray bytes;
    bytes.prepend(char(v & 0x7F));
    while ((v >>= 7) != 0)
        bytes.prepend(char((v & 0x7F) | 0x80));
    b.append(bytes);
}
QByteArray track(const QByteArray& events) {
    QByteArray t("MTrk");
    be32(t, quint32(events.size()));
    return t + events;
}
} // namespace

QByteArray MakeProTrackerModule(int patterns) {
    QByteArray m(20, '\0');
    m.replace(0, 9, "kv module");
    const int sampleWords = 1000;
    for (int s = 0; s < 31; ++s) {
        QByteArray header(22, '\0');
        if (s == 0) {
            header.replace(0, 6, "square");
            be16(header, sampleWords);
            header.append(char(0));  // finetune
            header.append(char(64)); // volume
            be16(header, 0);         // loop start
            be16(header, sampleWords);
        } else {
            be16(header, 0);
            header.append(char(0));
            header.append(char(0));
            be16(header, 0);
            be16(header, 1);
        }
        m.append(header);
    }
    m.append(char(patterns)); // song length
    m.append(char(127));
    QByteArray orders(128, '\0'); // every order plays pattern 0
    m.append(orders);
    m.append("M.K.");
    QByteArray pattern(1024, '\0');
    // Row 0, channel 0: sample 1 at period 428.
    pattern[0] = char(0x00 | (428 >> 8));
    pattern[1] = char(428 & 0xFF);
    pattern[2] = char(0x10);
    pattern[3] = char(0);
    m.append(pattern);
    QByteArray sample(sampleWords * 2, '\0');
    for (int i = 0; i < sample.size(); ++i)
        sample[i] = char((i / 25) % 2 ? 90 : -90);
    m.append(sample);
    return m;
}

QByteArray MakeMidiFile() {
    QByteArray f("MThd");
    be32(f, 6);
    be16(f, 1); // format 1
    be16(f, 2); // tracks
    be16(f, 480);

    QByteArray t0;
    vlq(t0, 0);
    t0.append("\xFF\x51\x03\x07\xA1\x20", 6); // 500000 us a quarter
    vlq(t0, 960);
    t0.append("\xFF\x51\x03\x03\xD0\x90", 6); // 250000 us a quarter
    vlq(t0, 960);
    t0.append("\xFF\x2F\x00", 3);
    f.append(track(t0));

    QByteArray t1;
    vlq(t1, 0);
    t1.append("\xC0\x00", 2); // piano
    vlq(t1, 0);
    t1.append("\x90\x3C\x64", 3);
    vlq(t1, 0);
    t1.append("\x40\x64", 2); // running status: a second note
    vlq(t1, 1440);
    t1.append("\x80\x3C\x00", 3);
    vlq(t1, 0);
    t1.append("\x40\x00", 2);
    vlq(t1, 960);
    t1.append("\xFF\x2F\x00", 3); // ends at tick 2400
    f.append(track(t1));
    return f;
}

} // namespace kvtest
