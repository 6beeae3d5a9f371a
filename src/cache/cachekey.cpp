#include "cache/cachekey.h"

#include "library/mediaitem.h"

qint64 cacheHash(const QString& absoluteString) {
    const QByteArray bytes = absoluteString.toUtf8();
    quint64 hash = 14695981039346656037ULL;
    for (const char byte : bytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211ULL;
    }
    return static_cast<qint64>(hash);
}

QString cacheKey(const QString& absoluteString) {
    return QString::number(cacheHash(absoluteString));
}

QString cacheKey(const QUrl& url) { return cacheKey(::absoluteString(url)); }
