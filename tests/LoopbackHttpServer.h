#pragma once

#include <QHash>
#include <QTcpServer>
#include <QUrl>

namespace kvtest {

// An HTTP server on 127.0.0.1 in the test's own thread, answering GET requests from a table
// of routes (404 for the rest) and counting them. A route may send only part of its body,
// then drop the connection or hold it open.
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
    QUrl url(const QString& path) const;
    QHash<QString, Route> routes;
    int requests = 0;

Q_SIGNALS:
    // A route has sent its part and holds the connection.
    void holding();

private:
    QTcpServer server_;
};

} // namespace kvtest
