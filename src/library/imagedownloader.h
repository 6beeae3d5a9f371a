#pragma once

#include <QByteArray>
#include <QObject>
#include <QUrl>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// Bounds of one image download.
struct DownloadLimits {
    qint64 maxBytes = 50 * 1024 * 1024;
    int timeoutMs = 30 * 1000;
    int maxRedirects = 5;
};

// Fetches the bytes of a dropped web address. Only http and https are
// accepted, also as redirect targets (and never https to http); the
// download ends without a result
// when it grows past the byte limit, takes longer than the time limit,
// redirects too often, fails, or its content type does not begin with
// "image". Nothing is printed. The completion runs once, on the thread of
// the caller, and not at all when `context` is gone.
class ImageDownloader : public QObject {
    Q_OBJECT
public:
    using Completion = std::function<void(std::optional<QByteArray> bytes)>;

    static void fetch(const QUrl& url, QObject* context, Completion done,
                      const DownloadLimits& limits = {});
    static bool isWebUrl(const QUrl& url);

private:
    ImageDownloader(QObject* context, Completion done, const DownloadLimits& limits);
    void start(const QUrl& url);
    void checkHeaders();
    void readBody();
    void finish();
    void fail();

    Completion m_done;
    DownloadLimits m_limits;
    QNetworkAccessManager* m_network = nullptr;
    QNetworkReply* m_reply = nullptr;
    QTimer* m_deadline = nullptr;
    QByteArray m_body;
    bool m_finished = false;
};
