#include "library/artworksaver.h"

#include "cache/atomicfilewriter.h"
#include "cache/backgroundtask.h"
#include "library/artworkstore.h"

#include <QFile>
#include <QTimer>

namespace {

QImage writeAndDecode(const QByteArray& bytes, const QString& destination) {
    if (!AtomicFileWriter::writeAtomically(destination, bytes).isEmpty())
        return {};
    return decodeImageData(bytes);
}

std::optional<QByteArray> readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

} // namespace

void saveArtworkFile(const QUrl& source, const QString& destination, QObject* context,
                     std::function<void(const QImage& image)> done, const DownloadLimits& limits) {
    if (ImageDownloader::isWebUrl(source)) {
        ImageDownloader::fetch(
            source, context,
            [context, destination, done](std::optional<QByteArray> bytes) {
                if (!bytes) {
                    done(QImage());
                    return;
                }
                runInBackground(
                    context,
                    [bytes = *bytes, destination] { return writeAndDecode(bytes, destination); },
                    done);
            },
            limits);
        return;
    }
    if (!source.isLocalFile()) {
        QTimer::singleShot(0, context, [done] { done(QImage()); });
        return;
    }
    runInBackground(
        context,
        [path = source.toLocalFile(), destination] {
            const std::optional<QByteArray> bytes = readWholeFile(path);
            return bytes ? writeAndDecode(*bytes, destination) : QImage();
        },
        done);
}
