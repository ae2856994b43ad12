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
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(message(paths));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kTaken;
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
        return HandOver(path_, paths, kAnswerTimeoutMs);
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
            socket->putChar(kTaken);
            socket->flush();
            socket->disconnectFromServer();
            Q_EMIT pathsReceived(paths);
        });
    }
}

} // namespace kv
