#include "app/appnotifications.h"
#include "app/medialibraryviewmodel.h"
#include "artwork_httpserver.h"
#include "cache/mediacachemanager.h"
#include "library/artworksaver.h"
#include "library/artworkstore.h"
#include "library/foldergrant.h"
#include "support/mediafixtures.h"
#include "support/testsupport.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

QByteArray pngBytes(QColor color, QSize size = {6, 5}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class ArtworkSave : public ::testing::Test {
protected:
    void SetUp() override {
        vm = std::make_unique<MediaLibraryViewModel>();
        QDir().mkpath(folderPath());
    }
    // Nothing of this test may still be encoding or writing when the next
    // one starts or the process ends.
    void TearDown() override {
        vm.reset();
        waitForArtworkFiles();
    }
    QString folderPath() const { return dir.path() + "/Album"; }
    MediaItem folderItem() const { return MediaItem::folder(folderPath()); }
    QString coverPath() const { return folderPath() + "/folder.jpg"; }

    // Runs a save to its end: the notification, or a quiet end of the save.
    bool saveAndWait(const QUrl& source, const MediaItem& target) {
        vm->saveArtwork(source, target);
        return waitUntil([&] { return updates.count() > 0; }, 3000);
    }

    QTemporaryDir dir;
    std::unique_ptr<MediaLibraryViewModel> vm;
    QSignalSpy updates{&AppNotifications::shared(), &AppNotifications::artworkUpdated};
};

TEST_F(ArtworkSave, AFileIsCopiedUnchangedAsFolderJpg) {
    const QByteArray png = pngBytes(Qt::green);
    writeFile(dir.path() + "/dropped.png", png);
    ASSERT_TRUE(saveAndWait(QUrl::fromLocalFile(dir.path() + "/dropped.png"), folderItem()));
    EXPECT_EQ(readFile(coverPath()), png) << "the bytes are not re-encoded";
    ASSERT_EQ(updates.count(), 1);
    EXPECT_EQ(updates[0][0].toString(), folderItem().id());
    const QImage stored = memoryCachedArtwork(MediaCacheManager::shared(), folderItem().url());
    EXPECT_EQ(stored.pixelColor(0, 0), QColor(Qt::green));
    // Nothing is left beside it from the atomic write.
    EXPECT_EQ(QDir(folderPath()).entryList(QDir::Files), QStringList{"folder.jpg"});
}

TEST_F(ArtworkSave, AnExistingCoverIsReplaced) {
    writeFile(coverPath(), pngBytes(Qt::red));
    writeFile(dir.path() + "/new.png", pngBytes(Qt::blue));
    ASSERT_TRUE(saveAndWait(QUrl::fromLocalFile(dir.path() + "/new.png"), folderItem()));
    EXPECT_EQ(readFile(coverPath()), pngBytes(Qt::blue));
}

TEST_F(ArtworkSave, DroppingOnAFileSavesIntoItsFolder) {
    const MediaItem track = MediaItem::audioFile(folderPath() + "/01.mp3");
    writeFile(dir.path() + "/dropped.png", pngBytes(Qt::green));
    ASSERT_TRUE(saveAndWait(QUrl::fromLocalFile(dir.path() + "/dropped.png"), track));
    EXPECT_TRUE(QFile::exists(coverPath()));
    EXPECT_EQ(updates[0][0].toString(), folderItem().id());
}

TEST_F(ArtworkSave, TheSelectedTrackOfThatFolderIsReloaded) {
    AudioFixture fixture;
    ASSERT_TRUE(makeAudioFile(folderPath() + "/01.flac", fixture));
    const MediaItem track = MediaItem::audioFile(folderPath() + "/01.flac");
    vm->setSelectedFile(track);
    writeFile(dir.path() + "/dropped.png", pngBytes(Qt::green));
    QSignalSpy loading(vm.get(), &MediaLibraryViewModel::isLoadingChanged);
    ASSERT_TRUE(saveAndWait(QUrl::fromLocalFile(dir.path() + "/dropped.png"), folderItem()));
    EXPECT_TRUE(vm->isLoading()) << "the track information is being read again";
    ASSERT_TRUE(waitUntil([&] { return !vm->isLoading(); }));
    EXPECT_EQ(vm->currentArtwork().pixelColor(0, 0), QColor(Qt::green));
}

TEST_F(ArtworkSave, UndecodableBytesAreWrittenButNotAnnounced) {
    writeFile(dir.path() + "/fake.png", "no picture in here");
    vm->saveArtwork(QUrl::fromLocalFile(dir.path() + "/fake.png"), folderItem());
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(coverPath()); }));
    EXPECT_FALSE(waitUntil([&] { return updates.count() > 0; }, 300));
    EXPECT_EQ(readFile(coverPath()), "no picture in here");
    EXPECT_TRUE(memoryCachedArtwork(MediaCacheManager::shared(), folderItem().url()).isNull());
}

TEST_F(ArtworkSave, FailuresEndQuietly) {
    const QStringList lines = capturedLines([&] {
        vm->saveArtwork(QUrl::fromLocalFile(dir.path() + "/missing.png"), folderItem());
        vm->saveArtwork(QUrl("ftp://127.0.0.1/cover.png"), folderItem());
        vm->saveArtwork(QUrl("data:image/png;base64,AAAA"), folderItem());
        EXPECT_FALSE(waitUntil([&] { return updates.count() > 0; }, 500));
    });
    EXPECT_TRUE(lines.isEmpty()) << lines.join('\n').toStdString();
    EXPECT_FALSE(QFile::exists(coverPath()));
}

TEST_F(ArtworkSave, AFolderWithoutWriteAccessKeepsItsCover) {
    // The folder's place is taken by a file, so "folder.jpg" cannot be made.
    writeFile(dir.path() + "/Blocked", "a file");
    writeFile(dir.path() + "/dropped.png", pngBytes(Qt::green));
    vm->saveArtwork(QUrl::fromLocalFile(dir.path() + "/dropped.png"),
                    MediaItem::folder(dir.path() + "/Blocked"));
    EXPECT_FALSE(waitUntil([&] { return updates.count() > 0; }, 500));
    EXPECT_EQ(readFile(dir.path() + "/Blocked"), "a file");
}

TEST_F(ArtworkSave, AccessToTheMediaFolderIsHeldForTheSave) {
    const QUrl root = QUrl::fromLocalFile(dir.path());
    vm->openFolder(root);
    ASSERT_TRUE(waitUntil([&] { return !vm->isLoading(); }));
    const int before = FolderGrant::accessCount(root);
    writeFile(dir.path() + "/dropped.png", pngBytes(Qt::green));

    vm->saveArtwork(QUrl::fromLocalFile(dir.path() + "/dropped.png"), folderItem());
    EXPECT_EQ(FolderGrant::accessCount(root), before + 1);
    ASSERT_TRUE(waitUntil([&] { return updates.count() > 0; }));
    ASSERT_TRUE(waitUntil([&] { return FolderGrant::accessCount(root) == before; }));

    // A failed save gives it back too.
    vm->saveArtwork(QUrl::fromLocalFile(dir.path() + "/missing.png"), folderItem());
    EXPECT_EQ(FolderGrant::accessCount(root), before + 1);
    ASSERT_TRUE(waitUntil([&] { return FolderGrant::accessCount(root) == before; }));
}

// ---- Web addresses -------------------------------------------------------

TEST_F(ArtworkSave, AnImageFromAWebServerIsSaved) {
    ArtworkHttpServer server;
    const QByteArray png = pngBytes(Qt::magenta);
    server.serve("/cover", "image/png", png);
    ASSERT_TRUE(saveAndWait(server.url("/cover"), folderItem()));
    EXPECT_EQ(readFile(coverPath()), png);
    EXPECT_EQ(updates[0][0].toString(), folderItem().id());
}

TEST_F(ArtworkSave, ARedirectIsFollowed) {
    ArtworkHttpServer server;
    server.serve("/real.png", "image/png; charset=binary", pngBytes(Qt::cyan));
    server.redirect("/moved", server.url("/real.png").toString());
    ASSERT_TRUE(saveAndWait(server.url("/moved"), folderItem()));
    EXPECT_EQ(readFile(coverPath()), pngBytes(Qt::cyan));
}

TEST_F(ArtworkSave, AnHtmlPageIsRefused) {
    ArtworkHttpServer server;
    // Even when the page happens to hold picture bytes, its type decides.
    server.serve("/page", "text/html", pngBytes(Qt::red));
    vm->saveArtwork(server.url("/page"), folderItem());
    ASSERT_TRUE(waitUntil([&] { return server.requestCount("/page") == 1; }));
    EXPECT_FALSE(waitUntil([&] { return updates.count() > 0; }, 500));
    EXPECT_FALSE(QFile::exists(coverPath()));
}

TEST_F(ArtworkSave, AResponseWithoutTypeIsRefused) {
    ArtworkHttpServer server;
    const QByteArray png = pngBytes(Qt::red);
    server.route("/untyped",
                 {"HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(png.size()), png});
    vm->saveArtwork(server.url("/untyped"), folderItem());
    ASSERT_TRUE(waitUntil([&] { return server.requestCount("/untyped") == 1; }));
    EXPECT_FALSE(waitUntil([&] { return updates.count() > 0; }, 500));
    EXPECT_FALSE(QFile::exists(coverPath()));
}

TEST_F(ArtworkSave, AnOversizedImageIsRefusedWithoutWaiting) {
    ArtworkHttpServer server;
    // Announces 60 MB and then stalls: only the size can end it early.
    ArtworkHttpServer::Response huge;
    huge.head = "HTTP/1.0 200 OK\r\nContent-Type: image/png\r\nContent-Length: 60000000";
    huge.body = pngBytes(Qt::red);
    huge.keepOpen = true;
    server.route("/huge.png", huge);

    QElapsedTimer timer;
    timer.start();
    bool ended = false;
    QImage result(1, 1, QImage::Format_RGB32);
    saveArtworkFile(server.url("/huge.png"), coverPath(), vm.get(), [&](const QImage& image) {
        ended = true;
        result = image;
    });
    ASSERT_TRUE(waitUntil([&] { return ended; }, 5000));
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_TRUE(result.isNull());
    EXPECT_FALSE(QFile::exists(coverPath()));
}

TEST_F(ArtworkSave, ABodyGrowingPastTheLimitIsRefused) {
    ArtworkHttpServer server;
    // No length given: the body itself must be counted.
    QByteArray padded = pngBytes(Qt::red);
    padded.append(QByteArray(200 * 1024, '\0'));
    server.route("/long.png", {"HTTP/1.0 200 OK\r\nContent-Type: image/png", padded});
    DownloadLimits limits;
    limits.maxBytes = 64 * 1024;

    std::optional<QImage> result;
    saveArtworkFile(
        server.url("/long.png"), coverPath(), vm.get(),
        [&](const QImage& image) { result = image; }, limits);
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(result->isNull());
    EXPECT_FALSE(QFile::exists(coverPath()));

    // The same body within a larger limit is a valid picture.
    result.reset();
    limits.maxBytes = 1024 * 1024;
    saveArtworkFile(
        server.url("/long.png"), coverPath(), vm.get(),
        [&](const QImage& image) { result = image; }, limits);
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_FALSE(result->isNull());
}

TEST_F(ArtworkSave, ASilentServerTimesOut) {
    ArtworkHttpServer server;
    ArtworkHttpServer::Response silent;
    silent.silent = true;
    server.route("/slow.png", silent);
    DownloadLimits limits;
    limits.timeoutMs = 300;
    std::optional<QImage> result;
    saveArtworkFile(
        server.url("/slow.png"), coverPath(), vm.get(),
        [&](const QImage& image) { result = image; }, limits);
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }, 3000));
    EXPECT_TRUE(result->isNull());
}

TEST_F(ArtworkSave, RedirectsAreBounded) {
    ArtworkHttpServer server;
    server.serve("/end.png", "image/png", pngBytes(Qt::red));
    // Six hops to the picture: one more than allowed.
    for (int hop = 0; hop < 6; ++hop) {
        const QString next = hop == 5 ? "/end.png" : QStringLiteral("/hop%1").arg(hop + 1);
        server.redirect(QStringLiteral("/hop%1").arg(hop), server.url(next).toString());
    }
    std::optional<QImage> result;
    saveArtworkFile(server.url("/hop0"), coverPath(), vm.get(),
                    [&](const QImage& image) { result = image; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(result->isNull());
    EXPECT_EQ(server.requestCount("/end.png"), 0);

    // Five hops are fine.
    result.reset();
    saveArtworkFile(server.url("/hop1"), coverPath(), vm.get(),
                    [&](const QImage& image) { result = image; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_FALSE(result->isNull());
}

TEST_F(ArtworkSave, RedirectsLeaveOnlyToTheWeb) {
    ArtworkHttpServer server;
    writeFile(dir.path() + "/secret.png", pngBytes(Qt::red));
    server.redirect("/to-file", QUrl::fromLocalFile(dir.path() + "/secret.png").toString());
    std::optional<QImage> result;
    saveArtworkFile(server.url("/to-file"), coverPath(), vm.get(),
                    [&](const QImage& image) { result = image; });
    ASSERT_TRUE(waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(result->isNull());
    EXPECT_FALSE(QFile::exists(coverPath()));
}

} // namespace
