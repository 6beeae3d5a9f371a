#include "ui/artworkdrop.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>
#include <QUuid>

namespace {

bool isWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool isImageFileExtension(const QUrl& url) {
    const QString extension = QFileInfo(url.path()).suffix().toLower();
    return extension == QLatin1String("jpg") || extension == QLatin1String("jpeg") ||
           extension == QLatin1String("png") || extension == QLatin1String("webp");
}

// The web address a drag carries as text, if that is what it is.
std::optional<QUrl> webAddressIn(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    return isWebAddress(url) ? std::optional(url) : std::nullopt;
}

std::optional<QUrl> writeTemporaryJpeg(const QByteArray& data, const QString& tempDir) {
    const QImage image = QImage::fromData(data);
    if (image.isNull())
        return std::nullopt;
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "JPEG"))
            return std::nullopt;
    }
    const QString path =
        tempDir + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces) + ".jpg";
    // A failed write still passes the address on; the save then finds nothing.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(jpeg);
        file.commit();
    }
    return QUrl::fromLocalFile(path);
}

} // namespace

namespace {

std::optional<QUrl> offeredWebAddress(const ArtworkDropOffer& offer) {
    if (!offer.urls.isEmpty())
        return isWebAddress(offer.urls.first()) ? std::optional(offer.urls.first()) : std::nullopt;
    return webAddressIn(offer.text);
}

bool offersFile(const ArtworkDropOffer& offer) {
    return !offer.urls.isEmpty() && offer.urls.first().isLocalFile();
}

} // namespace

bool acceptsArtworkDrop(const ArtworkDropOffer& offer) {
    return offersFile(offer) || !offer.imageData.isEmpty() || offeredWebAddress(offer);
}

ArtworkDropResult takeArtworkDrop(const ArtworkDropOffer& offer, const QString& tempDir) {
    if (offersFile(offer)) {
        const QUrl& url = offer.urls.first();
        return {true, isImageFileExtension(url) ? std::optional(url) : std::nullopt};
    }
    if (!offer.imageData.isEmpty())
        return {true, writeTemporaryJpeg(offer.imageData, tempDir)};
    if (std::optional<QUrl> address = offeredWebAddress(offer))
        return {true, address};
    return {};
}
