#include "CdImages.h"

#include "MediaTools.h"

#include <QFileInfo>
#include <QtEndian>

#include <cmath>

namespace kvtest {

QByteArray CdTone(int sectors, double hz) {
    const int frames = sectors * 588;
    QByteArray pcm(frames * 4, Qt::Uninitialized);
    for (int i = 0; i < frames; ++i) {
        const double t = 2 * M_PI * hz * i / 44100.0;
        qToLittleEndian<qint16>(static_cast<qint16>(std::lround(9000 * std::sin(t))),
                                pcm.data() + i * 4);
        qToLittleEndian<qint16>(static_cast<qint16>(std::lround(6000 * std::sin(1.5 * t))),
                                pcm.data() + i * 4 + 2);
    }
    return pcm;
}

QString WriteCdImage(const QString& cue, const QString& bin,
                     const std::vector<CdImageTrack>& tracks) {
    QByteArray data;
    QByteArray sheet = "FILE \"" + QFileInfo(bin).fileName().toUtf8() + "\" BINARY\r\n";
    int number = 1;
    for (const CdImageTrack& t : tracks) {
        const int at = static_cast<int>(data.size() / 2352);
        sheet += QStringLiteral("  TRACK %1 %2\r\n    INDEX 01 %3:%4:%5\r\n")
                     .arg(number++, 2, 10, QLatin1Char('0'))
                     .arg(t.audio ? "AUDIO" : "MODE1/2352")
                     .arg(at / 4500, 2, 10, QLatin1Char('0'))
                     .arg(at / 75 % 60, 2, 10, QLatin1Char('0'))
                     .arg(at % 75, 2, 10, QLatin1Char('0'))
                     .toUtf8();
        data += t.bytes;
    }
    if (!WriteBytes(bin, data) || !WriteBytes(cue, sheet))
        return QString();
    return cue;
}

} // namespace kvtest
