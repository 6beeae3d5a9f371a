#include "artwork_httpserver.h"

#include <QTcpSocket>

ArtworkHttpServer::ArtworkHttpServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void ArtworkHttpServer::route(const QString& path, const Response& response) {
    m_routes.insert(path, response);
}

void ArtworkHttpServer::serve(const QString& path, const QByteArray& contentType,
                              const QByteArray& body) {
    route(path, {"HTTP/1.0 200 OK\r\nContent-Type: " + contentType +
                     "\r\nContent-Length: " + QByteArray::number(body.size()),
                 body});
}

void ArtworkHttpServer::redirect(const QString& path, const QString& location) {
    route(path,
          {"HTTP/1.0 302 Found\r\nLocation: " + location.toUtf8() + "\r\nContent-Length: 0", {}});
}

QUrl ArtworkHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void ArtworkHttpServer::answer(QTcpSocket* socket) {
    // Gather the request head; answer once it is complete.
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (!head.contains("\r\n\r\n") || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QString path = requestLine.size() > 1 ? QString::fromUtf8(requestLine[1]) : QString();
    m_counts[path] += 1;
    const Response response =
        m_routes.value(path, {"HTTP/1.0 404 Not Found\r\nContent-Length: 0", {}});
    if (response.silent)
        return;
    socket->write(response.head + "\r\nConnection: close\r\n\r\n");
    socket->write(response.body);
    if (!response.keepOpen)
        socket->disconnectFromHost();
}
