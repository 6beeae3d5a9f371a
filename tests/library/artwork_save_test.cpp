#include "app/appnotifications.h"
#include "cache/mediacachemanager.h"
#include "library/artworksaver.h"
#include "library/artworkstore.h"
#include "library/foldergrant.h"
#include "support/viewmodelfixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace testsupport;

namespace {

// An HTTP/1.0 server on 127.0.0.1 that answers each path with a raw head and
// body. An empty head takes the request and never answers; `keepOpen` leaves
// the connection open after the answer.
class HttpServer : public QObject {
public:
    struct Response {
        QByteArray head, body;
        bool keepOpen = false;
    };
    HttpServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = m_server.nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        });
    }
    QUrl url(const QString& path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
    }
    void redirect(const QString& path, const QUrl& to) {
        routes[path] = {"HTTP/1.0 302 Found\r\nLocation: " + to.toEncoded()};
    }
    QHash<QString, Response> routes;
    QHash<QString, int> requests;

private:
    void answer(QTcpSocket* socket) {
        QByteArray& head = m_heads[socket];
        head += socket->readAll();
        if (!head.endsWith("\r\n\r\n"))
            return;
        const QString path = QString::fromUtf8(head.split(' ').value(1));
        requests[path] += 1;
        const Response response = routes.value(path, {"HTTP/1.0 404 Not Found"});
        if (response.head.isEmpty())
            return;
        socket->write(response.head + "\r\nConnection: close\r\n\r\n" + response.body);
        if (!response.keepOpen)
            socket->disconnectFromHost();
    }
    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_heads;
};

HttpServer::Response image(const QByteArray& type, const QByteArray& body) {
    return {"HTTP/1.0 200 OK\r\nContent-Type: " + type +
                "\r\nContent-Length: " + QByteArray::number(body.size()),
            body};
}

class ArtworkSave : public vmtest::PlaybackFixture {
protected:
    // Pictures, pages that are none, and redirects hop0 -> ... hop5 -> picture.
    void SetUp() override {
        PlaybackFixture::SetUp();
        startViewModel();
        server.routes["/cover.png"] = image("image/png; charset=binary", png);
        server.routes["/page"] = image("text/html", png); // picture bytes, but the type decides
        // No length given: the body is counted as it comes.
        server.routes["/long.png"] = {"HTTP/1.0 200 OK\r\nContent-Type: image/png",
                                      png + QByteArray(200 * 1024, '\0')};
        // Announces 60 MB and then stalls: only the size can end it early.
        server.routes["/huge.png"] = {image("image/png", png).head + "000000", png, true};
        server.routes["/silent.png"] = {};
        for (int hop = 0; hop < 6; ++hop)
            server.redirect(
                QStringLiteral("/hop%1").arg(hop),
                server.url(hop == 5 ? "/cover.png" : QStringLiteral("/hop%1").arg(hop + 1)));
        library->add("secret.png", png);
        server.redirect("/to-file", QUrl::fromLocalFile(library->path("secret.png")));
    }
    // Runs a save to its end; the image it gave (null: refused).
    QImage save(const QUrl& source, const DownloadLimits& limits = {}) {
        std::optional<QImage> result;
        saveArtworkFile(
            source, cover(), vm.get(), [&](const QImage& image) { result = image; }, limits);
        EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
        return result.value_or(QImage());
    }
    QString cover() const { return library->path("F/folder.jpg"); }
    MediaItem album() const { return library->folder("F"); }

    const QByteArray png = pngBytes(Qt::magenta);
    HttpServer server;
    QSignalSpy updates{&AppNotifications::shared(), &AppNotifications::artworkUpdated};
};

} // namespace

// Copied unchanged (undecodable bytes too, but only a picture is announced);
// access to the media folder is held for each save.
TEST_F(ArtworkSave, ADroppedFileIsCopiedUnchangedAndTheSelectedTrackReloaded) {
    vm->openFolder(library->rootUrl());
    finishScans();
    vm->setSelectedFile(library->file("f1"));
    const QByteArray dropped = pngBytes(Qt::green);
    library->add("fake.png", "no picture in here");
    library->add("dropped.png", dropped);
    for (const char* source : {"fake.png", "missing.png", "dropped.png"}) {
        vm->saveArtwork(QUrl::fromLocalFile(library->path(source)), library->file("f2"));
        EXPECT_EQ(FolderGrant::accessCount(library->rootUrl()), 2) << source;
        finishScans();
        EXPECT_EQ(FolderGrant::accessCount(library->rootUrl()), 1) << source;
        EXPECT_EQ(updates.count(), source[0] == 'd') << source;
        EXPECT_EQ(readFile(cover()), source[0] == 'd' ? dropped : "no picture in here");
    }
    ASSERT_EQ(updates.count(), 1);
    EXPECT_EQ(updates[0][0].toString(), album().id());
    EXPECT_EQ(memoryCachedArtwork(MediaCacheManager::shared(), album().url()).pixelColor(0, 0),
              QColor(Qt::green));
    ASSERT_TRUE(waitUntil([&] { return !vm->isLoading() && !vm->currentArtwork().isNull(); }));
    EXPECT_EQ(vm->currentArtwork().pixelColor(0, 0), QColor(Qt::green));
}

TEST_F(ArtworkSave, WebImagesAreSavedThroughUpToFiveRedirects) {
    DownloadLimits limits;
    limits.maxBytes = 1024 * 1024;
    for (const char* path : {"/cover.png", "/hop1", "/long.png"}) {
        QFile::remove(cover());
        EXPECT_EQ(save(server.url(path), limits).pixelColor(0, 0), QColor(Qt::magenta)) << path;
        EXPECT_TRUE(readFile(cover()).startsWith(png)) << path;
    }
}

// Each ends soon, without a picture, quietly, and leaves the folder alone.
TEST_F(ArtworkSave, RefusedSources) {
    DownloadLimits small, brief;
    small.maxBytes = 64 * 1024;
    brief.timeoutMs = 300;
    const std::pair<QUrl, DownloadLimits> rows[] = {
        {server.url("/page"), {}},
        {server.url("/huge.png"), {}},
        {server.url("/long.png"), small},
        {server.url("/silent.png"), brief},
        {server.url("/hop0"), {}},
        {server.url("/to-file"), {}},
        {QUrl::fromLocalFile(library->path("missing.png")), {}},
        {QUrl("ftp://127.0.0.1/cover.png"), {}},
    };
    takeLines();
    for (const auto& [source, limits] : rows) {
        SCOPED_TRACE(source.toString().toStdString());
        QElapsedTimer timer;
        timer.start();
        EXPECT_TRUE(save(source, limits).isNull());
        EXPECT_LT(timer.elapsed(), 5000);
        EXPECT_FALSE(QFile::exists(cover()));
    }
    EXPECT_EQ(takeLines(), QStringList());
    EXPECT_EQ(server.requests.value("/cover.png"), 0) << "the sixth hop is not taken";
}
