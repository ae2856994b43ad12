#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

namespace kvtest {

// A small HTTP server on the loopback interface, in the test's own thread: it answers GET
// requests from a table of routes and counts them. A route can send part of its body and then
// hold the connection open (until the client goes) or drop it.
class LoopbackHttpServer : public QObject {
    Q_OBJECT
public:
    struct Route {
        int status = 200;
        QByteArray body;
        QByteArray location;   // a Location header, for redirects
        qint64 partBytes = -1; // send only this much of the body, then...
        bool drop = false;     // ...close the connection (else hold it open)
    };

    LoopbackHttpServer();
    bool listening() const { return server_.isListening(); }
    QUrl url(const QString& path) const;
    void route(const QString& path, const Route& r) { routes_.insert(path, r); }
    int requests() const { return requests_; }

Q_SIGNALS:
    // A route with partBytes has sent its part and holds the connection.
    void holding();

private:
    void serve(QTcpSocket* socket);
    QTcpServer server_;
    QHash<QString, Route> routes_;
    int requests_ = 0;
};

} // namespace kvtest
