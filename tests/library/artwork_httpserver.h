#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrl>

// A small HTTP/1.0 server on 127.0.0.1 for download tests. Each route gives
// the raw response to send; a route may also stay silent forever.
class ArtworkHttpServer : public QObject {
    Q_OBJECT
public:
    struct Response {
        QByteArray head; // status line and headers, without the blank line
        QByteArray body;
        bool silent = false;   // accept the request and never answer
        bool keepOpen = false; // send, then leave the connection open
    };

    ArtworkHttpServer();
    void route(const QString& path, const Response& response);
    // Convenience: 200 with the given type and an exact Content-Length.
    void serve(const QString& path, const QByteArray& contentType, const QByteArray& body);
    void redirect(const QString& path, const QString& location);
    QUrl url(const QString& path) const;
    int requestCount(const QString& path) const { return m_counts.value(path); }

private:
    void answer(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QString, Response> m_routes;
    QHash<QString, int> m_counts;
};
