#include "LoopbackHttpServer.h"

#include <QTcpSocket>

namespace kvtest {

LoopbackHttpServer::LoopbackHttpServer() {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        QTcpSocket* socket = server_.nextPendingConnection();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            QByteArray head = socket->property("head").toByteArray() + socket->readAll();
            socket->setProperty("head", head);
            if (!head.contains("\r\n\r\n") || socket->property("answered").toBool())
                return;
            socket->setProperty("answered", true);
            ++requests;
            const Route r = routes.value(QString::fromLatin1(head.split(' ').value(1)),
                                         Route{404, "no such file", {}});
            QByteArray reply = "HTTP/1.1 " + QByteArray::number(r.status) +
                               " X\r\nContent-Length: " + QByteArray::number(r.body.size()) +
                               "\r\nConnection: close\r\n";
            if (!r.location.isEmpty())
                reply += "Location: " + r.location + "\r\n";
            socket->write(reply + "\r\n" +
                          r.body.left(r.partBytes < 0 ? r.body.size() : r.partBytes));
            if (r.partBytes < 0 || r.drop)
                socket->disconnectFromHost();
            else
                Q_EMIT holding();
        });
    });
}

QUrl LoopbackHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

} // namespace kvtest
