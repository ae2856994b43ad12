#include "engine/CdSource.h"

#include "engine/AudioError.h"
#include "engine/CueImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef KV_HAVE_CDIO
#include "engine/CdAudio.h"
#endif

namespace kv {

namespace {

// A drive opened without waiting for a disc.
UniqueFd openDevice(const QString& path) {
    return UniqueFd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
}

bool isBlockDevice(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISBLK(st.st_mode);
}

// mountinfo writes blanks, tabs, newlines and backslashes in paths as \ooo.
QString unescapeMountPath(const QByteArray& field) {
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        bool ok = false;
        const int code =
            field[i] == '\\' && i + 3 < field.size() ? field.mid(i + 1, 3).toInt(&ok, 8) : 0;
        if (ok) {
            out += static_cast<char>(code);
            i += 3;
        } else {
            out += field[i];
        }
    }
    return QFile::decodeName(out);
}

} // namespace

std::optional<CdTrackRef> ParseCdTrackPath(const QString& path) {
    static const QRegularExpression name(QStringLiteral("^(.+)/track(\\d{1,2})\\.cda$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = name.match(path);
    if (!m.hasMatch())
        return std::nullopt;
    const int track = m.captured(2).toInt();
    if (track < 1)
        return std::nullopt;
    return CdTrackRef{m.captured(1), track};
}

QString MakeCdTrackPath(const QString& source, int track) {
    return source + QStringLiteral("/Track%1.cda").arg(track, 2, 10, QLatin1Char('0'));
}

bool IsCdDrive(const QString& path) {
    if (!isBlockDevice(path))
        return false;
    const UniqueFd fd = openDevice(path);
    if (fd.get() < 0)
        return true;
    return ::ioctl(fd.get(), CDROM_GET_CAPABILITY, 0) >= 0;
}

bool DriveHasDisc(const QString& device) {
    const UniqueFd fd = openDevice(device);
    if (fd.get() < 0)
        return true;
    const int status = ::ioctl(fd.get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
    return status != CDS_NO_DISC && status != CDS_TRAY_OPEN;
}

QString MountedDevice(const QByteArray& mountinfo, const QString& folder) {
    const QString wanted = QDir::cleanPath(folder);
    for (const QByteArray& line : mountinfo.split('\n')) {
        // id parent major:minor root mount-point options [optional...] - type source options
        const QList<QByteArray> f = line.split(' ');
        const qsizetype dash = f.indexOf("-");
        if (dash < 6 || dash + 2 >= f.size())
            continue;
        if (unescapeMountPath(f[4]) == wanted)
            return unescapeMountPath(f[dash + 2]);
    }
    return QString();
}

QString CdSourceOf(const QString& path) {
    const QFileInfo fi(path);
    if (fi.isFile()) {
        if (fi.suffix().compare(QLatin1String("cue"), Qt::CaseInsensitive) == 0 &&
            IsCueImageSheet(path))
            return fi.absoluteFilePath();
        return QString();
    }
    if (!fi.isDir())
        return IsCdDrive(path) ? path : QString();
    // The desktop shows an audio CD as a folder named after its drive.
    static const QRegularExpression gvfs(QStringLiteral("/cdda:host=([^/]+)/?$"));
    const QRegularExpressionMatch m = gvfs.match(path);
    if (m.hasMatch()) {
        const QString device = QStringLiteral("/dev/") + m.captured(1);
        return IsCdDrive(device) ? device : QString();
    }
    QFile mounts(QStringLiteral("/proc/self/mountinfo"));
    if (!mounts.open(QIODevice::ReadOnly))
        return QString();
    const QString device = MountedDevice(mounts.readAll(), fi.canonicalFilePath());
    return !device.isEmpty() && IsCdDrive(device) ? device : QString();
}

#ifndef KV_HAVE_CDIO
// Built without libcdio: every disc is out of reach.
CdToc ReadCdToc(const QString&) {
    CdToc toc;
    toc.code = kAudioErrorCdNotStarted;
    return toc;
}
#endif

} // namespace kv
