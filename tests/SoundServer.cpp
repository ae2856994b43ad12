#include "SoundServer.h"

#include "MediaTools.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>

namespace kvtest {

std::vector<SinkInput> OwnSinkInputs() {
    std::vector<SinkInput> out;
    const ProcessResult r = RunTool("pactl", {"list", "sink-inputs"});
    const QString own =
        QStringLiteral("application.process.id = \"%1\"").arg(QCoreApplication::applicationPid());
    // pactl's "Sample ...: s16le 2ch 44100Hz" line of each stream.
    static const QRegularExpression sampleFormat(QStringLiteral("Sample S\\w+: (.+)"));
    for (const QString& block : QString::fromUtf8(r.out).split(QStringLiteral("Sink Input #"))) {
        if (r.exitCode == 0 && block.contains(own))
            out.push_back(
                {sampleFormat.match(block).captured(1).trimmed(), block.contains("Corked: yes")});
    }
    return out;
}

bool SinkPlayedFor(int ms) {
    // 8000 bytes a second of the sink's time.
    const qint64 wanted = qint64(ms) * 8;
    QProcess rec;
    rec.start(QStringLiteral("parec"), {"-d", "@DEFAULT_MONITOR@", "--raw", "--format=u8",
                                        "--channels=1", "--rate=8000", "--latency-msec=20"});
    qint64 got = 0;
    for (QDeadlineTimer deadline(ms + 20000);
         got < wanted && !deadline.hasExpired() && rec.state() != QProcess::NotRunning;) {
        rec.waitForReadyRead(100);
        got += rec.readAllStandardOutput().size();
    }
    rec.kill();
    rec.waitForFinished(10000);
    return got >= wanted;
}

bool PrivateSoundServer::start() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir_.path());
    env.insert("PULSE_RUNTIME_PATH", dir_.filePath("runtime"));
    env.remove("PULSE_SERVER");
    // On a session bus the first daemon holds the server's name, and a second one would quit.
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    process_.setProcessEnvironment(env);
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    process_.start("pulseaudio", {"--daemonize=no", "-n", "--use-pid-file=no",
                                  "--exit-idle-time=-1", "--load=module-null-sink",
                                  "--load=module-native-protocol-unix auth-anonymous=1 socket=" +
                                      dir_.filePath("native")});
    process_.waitForStarted(10000);
    for (QDeadlineTimer deadline(10000);
         !deadline.hasExpired() && process_.state() == QProcess::Running; QThread::msleep(50)) {
        if (RunTool("pactl", {"-s", address(), "info"}).exitCode == 0)
            return true;
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
