#include "LoopbackHttpServer.h"

#include <QTcpSocket>

namespace kvtest {

LoopbackHttpServer::LoopbackHttpServer() {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        }
    });
}

QUrl LoopbackHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path));
}

void LoopbackHttpServer::serve(QTcpSocket* socket) {
    // The whole request head first.
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (!head.contains("\r\n\r\n") || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);
    ++requests_;
    const QList<QByteArray> first = head.left(head.indexOf("\r\n")).split(' ');
    const QString path = QString::fromLatin1(first.value(1));
    const Route r = routes_.value(path, Route{404, "no such file", {}});
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(r.status) +
                       (r.status == 200   ? " OK"
                        : r.status == 404 ? " Not Found"
                                          : " Found") +
                       "\r\nContent-Length: " + QByteArray::number(r.body.size()) +
                       "\r\nConnection: close\r\n";
    if (!r.location.isEmpty())
        reply += "Location: " + r.location + "\r\n";
    reply += "\r\n";
    if (r.partBytes < 0) {
        socket->write(reply + r.body);
        socket->disconnectFromHost();
        return;
    }
    socket->write(reply + r.body.left(r.partBytes));
    socket->flush();
    if (r.drop)
        socket->disconnectFromHost();
    else
        Q_EMIT holding();
}

} // namespace kvtest
