#include "app/InstanceChannel.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace kv {
namespace {

constexpr quint32 kMagic = 0x4B56'4C31; // "KVL1"
constexpr char kTaken = 'A';
constexpr char kRefused = 'R';
// A list of paths is small; anything bigger is not a launch of ours.
constexpr qint64 kMaxMessage = 16 * 1024 * 1024;
// Launches that start together wait this long for each other's turn.
constexpr int kLockTimeoutMs = 10000;

QByteArray message(const QStringList& paths) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << paths;
    return bytes;
}

// The window's one-byte answer; 0 when none came.
char send(const QString& socketPath, const QStringList& paths, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return 0;
    socket.write(message(paths));
    if (!socket.waitForBytesWritten(timeoutMs))
        return 0;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs))
            return 0;
    }
    char answer = 0;
    return socket.getChar(&answer) ? answer : 0;
}

} // namespace

QString InstanceChannel::SocketPath(const QString& runtimeFolder, const QString& configFolder) {
    const QByteArray key =
        QCryptographicHash::hash(QDir::cleanPath(configFolder).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(12);
    return QDir(runtimeFolder).filePath(QStringLiteral("kelvanto-") + QString::fromLatin1(key));
}

QString InstanceChannel::DefaultSocketPath() {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    return SocketPath(runtime,
                      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

InstanceChannel::InstanceChannel(const QString& socketPath, QObject* parent)
    : QObject(parent), path_(socketPath) {}

InstanceChannel::~InstanceChannel() {
    if (server_)
        server_->close();
}

bool InstanceChannel::isListening() const {
    return server_ && server_->isListening();
}

bool InstanceChannel::HandOver(const QString& socketPath, const QStringList& paths, int timeoutMs) {
    return send(socketPath, paths, timeoutMs) == kTaken;
}

bool InstanceChannel::HandOverOrListen(const QStringList& paths) {
    QLockFile lock(path_ + QStringLiteral(".lock"));
    const bool locked = lock.tryLock(kLockTimeoutMs);
    // A window that answers takes the paths. One that is there but does not answer keeps its
    // socket: this launch then runs a window of its own without listening.
    QLocalSocket probe;
    probe.connectToServer(path_);
    const bool someoneListens = probe.waitForConnected(1000);
    probe.abort();
    if (someoneListens) {
        if (locked)
            lock.unlock();
        const char answer = send(path_, paths, kAnswerTimeoutMs);
        refused_ = answer == kRefused;
        return answer == kTaken;
    }
    if (!locked)
        return false;
    // What is left of a window that ended without closing its socket.
    QLocalServer::removeServer(path_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path_)) {
        delete server_;
        server_ = nullptr;
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &InstanceChannel::serve);
    return false;
}

void InstanceChannel::Open() {
    start_ = Start::Open;
    answerWaiting();
}

void InstanceChannel::Refuse() {
    start_ = Start::Failed;
    answerWaiting();
}

void InstanceChannel::answerWaiting() {
    std::vector<Waiting> waiting;
    waiting.swap(waiting_);
    for (const Waiting& w : waiting) {
        // A launch that stopped waiting runs a window of its own with its paths.
        if (w.socket && w.socket->state() == QLocalSocket::ConnectedState)
            answer(w.socket, w.paths);
    }
}

void InstanceChannel::answer(QLocalSocket* socket, const QStringList& paths) {
    const bool take = start_ == Start::Open;
    socket->putChar(take ? kTaken : kRefused);
    socket->flush();
    socket->disconnectFromServer();
    if (take)
        Q_EMIT pathsReceived(paths);
}

void InstanceChannel::serve() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > kMaxMessage) {
                socket->abort();
                return;
            }
            QDataStream in(socket);
            in.setVersion(QDataStream::Qt_6_0);
            in.startTransaction();
            quint32 magic = 0;
            QStringList paths;
            in >> magic >> paths;
            if (!in.commitTransaction())
                return; // the rest is still on its way
            if (magic != kMagic) {
                socket->abort();
                return;
            }
            // One message per launch: anything after it is not read.
            socket->disconnect(this);
            // Paths that came while the window starts wait for the start's outcome, so none is
            // taken by a window that then fails to open.
            if (start_ == Start::Pending)
                waiting_.push_back({socket, paths});
            else
                answer(socket, paths);
        });
    }
}

} // namespace kv
