#include "library/imagedownloader.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

bool isImageContentType(const QVariant& header) {
    const QString type = header.toString().trimmed().toLower();
    return type.startsWith(QLatin1String("image"));
}

} // namespace

bool ImageDownloader::isWebUrl(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

void ImageDownloader::fetch(const QUrl& url, QObject* context, Completion done,
                            const DownloadLimits& limits) {
    // Owned by the context, so a download outliving it is torn down with it.
    auto* downloader = new ImageDownloader(context, std::move(done), limits);
    downloader->start(url);
}

ImageDownloader::ImageDownloader(QObject* context, Completion done, const DownloadLimits& limits)
    : QObject(context), m_done(std::move(done)), m_limits(limits) {}

void ImageDownloader::start(const QUrl& url) {
    if (!isWebUrl(url)) {
        QTimer::singleShot(0, this, &ImageDownloader::fail);
        return;
    }
    m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    // Redirects stay on http and https and never go from https down to http.
    request.setMaximumRedirectsAllowed(m_limits.maxRedirects);
    m_reply = m_network->get(request);

    connect(m_reply, &QNetworkReply::metaDataChanged, this, &ImageDownloader::checkHeaders);
    connect(m_reply, &QNetworkReply::readyRead, this, &ImageDownloader::readBody);
    connect(m_reply, &QNetworkReply::finished, this, &ImageDownloader::finish);

    m_deadline = new QTimer(this);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, &ImageDownloader::fail);
    m_deadline->start(m_limits.timeoutMs);
}

void ImageDownloader::checkHeaders() {
    if (m_finished)
        return;
    // Redirect responses carry their own headers; only the final one counts.
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300 && status < 400)
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > m_limits.maxBytes) {
        fail();
        return;
    }
    // An HTML page need not be downloaded to be refused.
    if (status >= 200 && status < 300 &&
        !isImageContentType(m_reply->header(QNetworkRequest::ContentTypeHeader)))
        fail();
}

void ImageDownloader::readBody() {
    if (m_finished)
        return;
    m_body += m_reply->readAll();
    if (m_body.size() > m_limits.maxBytes)
        fail();
}

void ImageDownloader::finish() {
    if (m_finished)
        return;
    readBody();
    if (m_finished)
        return;
    if (m_reply->error() != QNetworkReply::NoError ||
        !isImageContentType(m_reply->header(QNetworkRequest::ContentTypeHeader))) {
        fail();
        return;
    }
    m_finished = true;
    m_deadline->stop();
    Completion done = std::move(m_done);
    QByteArray body = std::move(m_body);
    deleteLater();
    done(std::move(body));
}

void ImageDownloader::fail() {
    if (m_finished)
        return;
    m_finished = true;
    if (m_deadline)
        m_deadline->stop();
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
    Completion done = std::move(m_done);
    m_body.clear();
    deleteLater();
    done(std::nullopt);
}
