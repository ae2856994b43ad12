#include "SoundServer.h"

#include "MediaTools.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>

namespace kvtest {

std::vector<SinkInput> OwnSinkInputs() {
    std::vector<SinkInput> out;
    const ProcessResult r =
        RunTool(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (r.exitCode != 0)
        return out;
    const QString pidLine =
        QStringLiteral("application.process.id = \"%1\"").arg(QCoreApplication::applicationPid());
    static const QRegularExpression specRe(QStringLiteral("Sample Specification: (.+)"));
    for (const QString& block : QString::fromUtf8(r.out).split(QStringLiteral("Sink Input #"))) {
        if (!block.contains(pidLine))
            continue;
        SinkInput in;
        in.spec = specRe.match(block).captured(1).trimmed();
        in.corked = block.contains(QStringLiteral("Corked: yes"));
        out.push_back(in);
    }
    return out;
}

PrivateSoundServer::PrivateSoundServer() {
    QDir().mkpath(dir_.filePath(QStringLiteral("home")));
    QDir().mkpath(dir_.filePath(QStringLiteral("runtime")));
    QFile::setPermissions(dir_.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir_.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"),
               dir_.filePath(QStringLiteral("runtime/pulse")));
    env.insert(QStringLiteral("PULSE_STATE_PATH"), dir_.filePath(QStringLiteral("state")));
    env.remove(QStringLiteral("PULSE_SERVER"));
    process_.setProcessEnvironment(env);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
}

PrivateSoundServer::~PrivateSoundServer() {
    kill();
}

QString PrivateSoundServer::address() const {
    return QStringLiteral("unix:") + dir_.filePath(QStringLiteral("native"));
}

bool PrivateSoundServer::start() {
    process_.start(QStringLiteral("pulseaudio"),
                   {QStringLiteral("--daemonize=no"), QStringLiteral("-n"),
                    QStringLiteral("--use-pid-file=no"), QStringLiteral("--exit-idle-time=-1"),
                    QStringLiteral("--load=module-null-sink"),
                    QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") +
                        dir_.filePath(QStringLiteral("native"))});
    if (!process_.waitForStarted(10000))
        return false;
    // Up once it answers on its socket.
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
        if (RunTool(QStringLiteral("pactl"),
                    {QStringLiteral("-s"), address(), QStringLiteral("info")})
                .exitCode == 0)
            return true;
        QThread::msleep(50);
    }
    return false;
}

void PrivateSoundServer::kill() {
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.kill();
    process_.waitForFinished(10000);
}

} // namespace kvtest
