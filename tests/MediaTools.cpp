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
