#include "ui/artworkimageprovider.h"

#include "app/medialibraryviewmodel.h"
#include "cache/mediacachemanager.h"
#include "library/artworkresolver.h"
#include "library/artworkstore.h"
#include "ui/pixelate.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QMutex>
#include <QPainter>
#include <QQuickTextureFactory>
#include <QThreadPool>
#include <QUrlQuery>
#include <algorithm>
#include <atomic>
#include <memory>

namespace {

struct ArtworkRequest {
    enum class Kind { Item, Current, Invalid } kind = Kind::Invalid;
    QString itemId;
    bool pixelated = false;
    // Corner radius as a fraction of the shorter side; 0 keeps square corners.
    double cornerRadius = 0;
    QSize size;
};

ArtworkRequest parseRequest(const QString& id, const QSize& requestedSize) {
    ArtworkRequest request;
    request.size = requestedSize;
    const qsizetype query = id.indexOf(QLatin1Char('?'));
    const QString path = query < 0 ? id : id.left(query);
    const QUrlQuery options(query < 0 ? QString() : id.mid(query + 1));
    request.pixelated = options.queryItemValue(QStringLiteral("px")) == QLatin1String("1");
    request.cornerRadius =
        std::clamp(options.queryItemValue(QStringLiteral("r")).toDouble(), 0.0, 0.5);
    if (path.startsWith(QLatin1String("item/"))) {
        request.kind = ArtworkRequest::Kind::Item;
        request.itemId = QUrl::fromPercentEncoding(path.mid(5).toUtf8());
    } else if (path.startsWith(QLatin1String("current"))) {
        request.kind = ArtworkRequest::Kind::Current;
    }
    return request;
}

// Rounded here rather than in the views, where clipping to a rounded shape
// needs a shader that the software renderer lacks.
QImage roundCorners(const QImage& image, double fraction) {
    QImage rounded(image.size(), QImage::Format_ARGB32_Premultiplied);
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    const double radius = fraction * std::min(image.width(), image.height());
    // A textured fill has antialiased edges; a clip path would not.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(image));
    painter.drawRoundedRect(QRectF(rounded.rect()), radius, radius);
    painter.end();
    return rounded;
}

// Scaled to the size the view asked for (one side 0 keeps the aspect), then
// pixelated when asked.
QImage prepare(const QImage& image, const ArtworkRequest& request) {
    QImage result = image;
    const QSize wanted = request.size;
    if (wanted.width() > 0 && wanted.height() > 0) {
        result = result.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else if (wanted.width() > 0) {
        result = result.scaledToWidth(wanted.width(), Qt::SmoothTransformation);
    } else if (wanted.height() > 0) {
        result = result.scaledToHeight(wanted.height(), Qt::SmoothTransformation);
    }
    if (request.pixelated)
        result = pixelate(result);
    return request.cornerRadius > 0 ? roundCorners(result, request.cornerRadius) : result;
}

// Its own threads: scrolling a grid of covers must not hold up duration
// loading and scans on the global pool.
QThreadPool& artworkPool() {
    static QThreadPool pool;
    pool.setMaxThreadCount(2);
    return pool;
}

class ArtworkResponse;

// What a request's steps share. The image loader may delete the response
// while they run; `deliver` reaches it only while it lives.
struct ArtworkJob : std::enable_shared_from_this<ArtworkJob> {
    QMutex mutex;
    ArtworkResponse* response = nullptr;
    std::atomic<bool> cancelled = false;
    ArtworkRequest request;

    void start(MediaLibraryViewModel* viewModel);
    void resolve(const QPointer<MediaLibraryViewModel>& viewModel, const MediaItem& item,
                 const QImage& stored);
    void finishWith(const QImage& image);
    void deliver(const QImage& image, const QString& error);
};

class ArtworkResponse : public QQuickImageResponse {
public:
    explicit ArtworkResponse(std::shared_ptr<ArtworkJob> job) : m_job(std::move(job)) {
        m_job->response = this;
    }
    ~ArtworkResponse() override {
        QMutexLocker lock(&m_job->mutex);
        m_job->response = nullptr;
    }

    QQuickTextureFactory* textureFactory() const override {
        return m_image.isNull() ? nullptr : QQuickTextureFactory::textureFactoryForImage(m_image);
    }
    QString errorString() const override { return m_error; }
    void cancel() override { m_job->cancelled = true; }

private:
    friend struct ArtworkJob;
    std::shared_ptr<ArtworkJob> m_job;
    QImage m_image;
    QString m_error;
};

// GUI thread: the memory cache, then the cache file off the GUI thread.
void ArtworkJob::start(MediaLibraryViewModel* viewModel) {
    if (!viewModel || cancelled)
        return deliver({}, QStringLiteral("cancelled"));
    if (request.kind == ArtworkRequest::Kind::Current)
        return finishWith(viewModel->currentArtwork());
    if (request.kind != ArtworkRequest::Kind::Item)
        return deliver({}, QStringLiteral("unknown artwork address"));

    const QUrl url(request.itemId);
    const QImage memory = memoryCachedArtwork(MediaCacheManager::shared(), url);
    if (!memory.isNull())
        return finishWith(memory);
    const std::optional<MediaItem> item = viewModel->findItem(request.itemId);
    if (!item)
        return deliver({}, QStringLiteral("no such item"));
    const QString file = artworkCacheFilePath(MediaCacheManager::shared(), url);
    QPointer<MediaLibraryViewModel> guard(viewModel);
    artworkPool().start([job = shared_from_this(), file, guard, item = *item] {
        const QImage stored = job->cancelled ? QImage() : decodeImageFile(file);
        QMetaObject::invokeMethod(
            qApp, [job, guard, item, stored] { job->resolve(guard, item, stored); },
            Qt::QueuedConnection);
    });
}

// GUI thread: a decoded cache file, else the item's full artwork lookup.
void ArtworkJob::resolve(const QPointer<MediaLibraryViewModel>& viewModel, const MediaItem& item,
                         const QImage& stored) {
    if (!stored.isNull()) {
        putInMemoryCache(MediaCacheManager::shared(), stored, QUrl(request.itemId));
        return finishWith(stored);
    }
    if (!viewModel || cancelled)
        return deliver({}, QStringLiteral("cancelled"));
    resolveArtwork(item, viewModel,
                   [job = shared_from_this()](const QImage& found) { job->finishWith(found); });
}

// Scaling and pixelation happen on the pool.
void ArtworkJob::finishWith(const QImage& image) {
    if (!isUsableImage(image))
        return deliver({}, QStringLiteral("no artwork"));
    artworkPool().start([job = shared_from_this(), image] {
        job->deliver(job->cancelled ? QImage() : prepare(image, job->request),
                     QStringLiteral("no artwork"));
    });
}

void ArtworkJob::deliver(const QImage& image, const QString& error) {
    QMutexLocker lock(&mutex);
    if (!response)
        return;
    response->m_image = image;
    response->m_error = image.isNull() ? error : QString();
    emit response->finished();
}

} // namespace

ArtworkImageProvider::ArtworkImageProvider(ViewModelSource viewModel)
    : m_viewModel(std::move(viewModel)) {}

QQuickImageResponse* ArtworkImageProvider::requestImageResponse(const QString& id,
                                                                const QSize& requestedSize) {
    auto job = std::make_shared<ArtworkJob>();
    job->request = parseRequest(id, requestedSize);
    auto* response = new ArtworkResponse(job);
    QMetaObject::invokeMethod(
        qApp, [job, viewModel = m_viewModel] { job->start(viewModel()); }, Qt::QueuedConnection);
    return response;
}
