#include "CdImages.h"

#include "MediaTools.h"

#include <QFileInfo>
#include <QtEndian>

#include <cmath>
#include <utility>

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

namespace {

QByteArray msf(int sector) {
    return QStringLiteral("%1:%2:%3")
        .arg(sector / 4500, 2, 10, QLatin1Char('0'))
        .arg(sector / 75 % 60, 2, 10, QLatin1Char('0'))
        .arg(sector % 75, 2, 10, QLatin1Char('0'))
        .toUtf8();
}

// Bytes of a sector of the mode as the sheet names it.
int sectorBytes(const QByteArray& mode) {
    if (mode == "CDG")
        return 2448;
    return mode.contains('/') ? mode.mid(mode.indexOf('/') + 1).toInt() : 2352;
}

} // namespace

QString WriteCdImage(const QString& cue, const QString& bin,
                     const std::vector<CdImageTrack>& tracks, const QByteArray& head) {
    const QString folder = QFileInfo(cue).absolutePath() + '/';
    QString file = bin;
    QByteArray data;
    QByteArray sheet = head + "FILE \"" + QFileInfo(bin).fileName().toUtf8() + "\" BINARY\r\n";
    int sectors = 0; // of the current file so far
    int number = 1;
    bool motorola = false; // the current file's samples are big-endian
    for (const CdImageTrack& t : tracks) {
        if (!t.file.isEmpty()) {
            if (!WriteBytes(file, data))
                return QString();
            file = folder + t.file;
            data.clear();
            sectors = 0;
            motorola = t.motorola;
            sheet +=
                "FILE \"" + t.file.toUtf8() + (t.motorola ? "\" MOTOROLA\r\n" : "\" BINARY\r\n");
        }
        const QByteArray mode =
            !t.mode.isEmpty() ? t.mode : QByteArray(t.audio ? "AUDIO" : "MODE1/2352");
        const int size = sectorBytes(mode);
        sheet += QStringLiteral("  TRACK %1 ").arg(number++, 2, 10, QLatin1Char('0')).toUtf8() +
                 mode + "\r\n" + t.lines;
        if (!t.gap.isEmpty())
            sheet += "    INDEX 00 " + msf(sectors) + "\r\n";
        sectors += static_cast<int>(t.gap.size() / size);
        sheet += "    INDEX 01 " + msf(sectors) + "\r\n";
        sectors += static_cast<int>((t.bytes.size() + size - 1) / size);
        QByteArray bytes = t.gap + t.bytes;
        for (qsizetype i = 0; motorola && i + 1 < bytes.size(); i += 2)
            std::swap(bytes[i], bytes[i + 1]);
        data += bytes;
    }
    if (!WriteBytes(file, data) || !WriteBytes(cue, sheet))
        return QString();
    return cue;
}

} // namespace kvtest
