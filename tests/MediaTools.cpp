#include "MediaTools.h"

#include "settings/NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtEndian>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sys/resource.h>

namespace kvtest {

ProcessResult RunTool(const QString& program, const QStringList& args, int timeoutMs) {
    ProcessResult r;
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return r;
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return r;
}

bool MakeWithFfmpeg(const QStringList& args, const QString& output) {
    QDir().mkpath(QFileInfo(output).absolutePath());
    const ProcessResult r = RunTool(QStringLiteral("ffmpeg"),
                                    QStringList{QStringLiteral("-nostdin"), QStringLiteral("-y"),
                                                QStringLiteral("-v"), QStringLiteral("error")} +
                                        args + QStringList{output});
    return r.exitCode == 0 && QFileInfo(output).size() > 0;
}

bool MakeSine(const QString& output, double seconds, int rate, int channels,
              const QStringList& codecArgs) {
    return MakeWithFfmpeg(
        QStringList{
            QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
            QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(rate).arg(seconds),
            QStringLiteral("-ac"), QString::number(channels)} +
            codecArgs,
        output);
}

bool MakeVideo(const QString& output, double seconds, const QStringList& codecArgs) {
    return MakeWithFfmpeg(
        QStringList{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                    QStringLiteral("testsrc=size=64x48:rate=10:duration=%1").arg(seconds),
                    QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                    QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds),
                    QStringLiteral("-ac"), QStringLiteral("2")} +
            codecArgs,
        output);
}

namespace {
ProcessResult probeEntries(const QString& path, const QString& entries, const QStringList& before) {
    return RunTool(QStringLiteral("ffprobe"),
                   QStringList{QStringLiteral("-v"), QStringLiteral("error")} + before +
                       QStringList{QStringLiteral("-show_entries"), entries, QStringLiteral("-of"),
                                   QStringLiteral("default=nw=1"), path});
}
} // namespace

QStringList FfprobeLines(const QString& path, const QString& entries, const QStringList& before) {
    return QString::fromUtf8(probeEntries(path, entries, before).out)
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QMap<QString, QString> FfprobeFields(const QString& path, const QString& entries,
                                     const QStringList& before) {
    const ProcessResult r = probeEntries(path, entries, before);
    QMap<QString, QString> fields;
    for (const QString& line :
         QString::fromUtf8(r.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        fields.insert(line.section(QLatin1Char('='), 0, 0).toLower(),
                      line.section(QLatin1Char('='), 1));
    fields[QStringLiteral("clean")] =
        r.exitCode == 0 && r.err.trimmed().isEmpty() ? QStringLiteral("1") : QStringLiteral("0");
    return fields;
}

double FfprobeSeconds(const QString& path) {
    bool ok = false;
    const double seconds = FfprobeFields(path, QStringLiteral("format=duration"))
                               .value(QStringLiteral("duration"))
                               .toDouble(&ok);
    return ok ? seconds : -1;
}

QStringList WavCopies(const QString& folder, int count, double seconds) {
    const QString first = folder + QStringLiteral("/c00000.wav");
    if (!MakeSine(first, seconds, 8000, 1, {}))
        return {};
    QStringList out{first};
    for (int i = 1; i < count; ++i) {
        const QString p = folder + QStringLiteral("/c%1.wav").arg(i, 5, 10, QLatin1Char('0'));
        if (!QFile::copy(first, p))
            return {};
        out << p;
    }
    return out;
}

std::optional<ProbeInfo> FfprobeAudio(const QString& path) {
    const ProcessResult r =
        RunTool(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                 QStringLiteral("a:0"), QStringLiteral("-show_entries"),
                 QStringLiteral("stream=sample_rate,channels,duration:format=duration"),
                 QStringLiteral("-of"), QStringLiteral("json"), path});
    if (r.exitCode != 0)
        return std::nullopt;
    const QJsonObject root = QJsonDocument::fromJson(r.out).object();
    const QJsonArray streams = root.value(QStringLiteral("streams")).toArray();
    if (streams.isEmpty())
        return std::nullopt;
    const QJsonObject s = streams.first().toObject();
    ProbeInfo info;
    info.sampleRate = s.value(QStringLiteral("sample_rate")).toString().toInt();
    info.channels = s.value(QStringLiteral("channels")).toInt();
    bool ok = false;
    info.duration = s.value(QStringLiteral("duration")).toString().toDouble(&ok);
    if (!ok)
        info.duration = root.value(QStringLiteral("format"))
                            .toObject()
                            .value(QStringLiteral("duration"))
                            .toString()
                            .toDouble(&ok);
    if (!ok)
        info.duration = -1;
    return info;
}

std::optional<QByteArray> FfmpegDecode(const QString& path, const QString& format) {
    const ProcessResult r =
        RunTool(QStringLiteral("ffmpeg"),
                {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                 QStringLiteral("-i"), path, QStringLiteral("-map"), QStringLiteral("0:a:0"),
                 QStringLiteral("-f"), format, QStringLiteral("-")});
    if (r.exitCode != 0)
        return std::nullopt;
    return r.out;
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

int OpenFileDescriptors() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                .size());
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

quint32 Le32(const QByteArray& bytes, int at) {
    return bytes.size() >= at + 4 ? qFromLittleEndian<quint32>(bytes.constData() + at) : 0;
}

quint16 Le16(const QByteArray& bytes, int at) {
    return bytes.size() >= at + 2 ? qFromLittleEndian<quint16>(bytes.constData() + at) : 0;
}

QStringList AsfTagPlaces(const QString& path) {
    const QByteArray f = ReadBytes(path);
    // Object GUIDs as the file holds them (the first three fields little-endian).
    const QByteArray content = QByteArray::fromHex("3326b2758e66cf11a6d900aa0062ce6c");
    const QByteArray extended = QByteArray::fromHex("40a4d0d207e3d21197f000a0c95ea850");
    const auto text = [&](int at, int bytes) {
        QString t = QString::fromUtf16(reinterpret_cast<const char16_t*>(f.constData() + at),
                                       bytes / 2);
        return t.endsWith(QChar(0)) ? t.chopped(1) : t;
    };
    QStringList places;
    const int count = static_cast<int>(Le32(f, 24));
    for (int i = 0, at = 30; i < count && at + 24 <= f.size(); ++i) {
        const int size = static_cast<int>(qFromLittleEndian<quint64>(f.constData() + at + 16));
        if (size < 24 || at + size > f.size())
            return {};
        const QByteArray guid = f.mid(at, 16);
        if (guid == content) {
            static const char* names[] = {"Title", "Author", "Copyright", "Description", "Rating"};
            int q = at + 34;
            for (int n = 0; n < 5; ++n) {
                const int len = Le16(f, at + 24 + 2 * n);
                if (len > 0)
                    places << QStringLiteral("content:%1=%2").arg(names[n], text(q, len));
                q += len;
            }
        } else if (guid == extended) {
            int q = at + 26;
            for (int n = Le16(f, at + 24); n > 0; --n) {
                const int nameLen = Le16(f, q), type = Le16(f, q + 2 + nameLen);
                const int valueLen = Le16(f, q + 4 + nameLen);
                const QString value = type == 0 ? text(q + 6 + nameLen, valueLen)
                                                : QStringLiteral("<type %1>").arg(type);
                places << QStringLiteral("extended:%1=%2").arg(text(q + 2, nameLen), value);
                q += 6 + nameLen + valueLen;
            }
        }
        at += size;
    }
    return places;
}

FileSizeLimit::FileSizeLimit(unsigned long long bytes) {
    struct rlimit current {};
    if (getrlimit(RLIMIT_FSIZE, &current) != 0)
        return;
    old_ = current.rlim_cur;
    std::signal(SIGXFSZ, SIG_IGN);
    current.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &current) == 0;
}

FileSizeLimit::~FileSizeLimit() {
    if (!active_)
        return;
    struct rlimit current {};
    getrlimit(RLIMIT_FSIZE, &current);
    current.rlim_cur = old_;
    setrlimit(RLIMIT_FSIZE, &current);
    std::signal(SIGXFSZ, SIG_DFL);
}

} // namespace kvtest

namespace kvtest {

bool RenameToNative(const QString& from, const QString& to) {
    return std::rename(kv::NativePath(from).constData(), kv::NativePath(to).constData()) == 0;
}

ByteNameDir::~ByteNameDir() {
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(path()).toStdString(), ignored);
}

} // namespace kvtest
