#pragma once

#include <QString>
#include <QUrl>

// Names every per-file cache file: the signed decimal text of a 64-bit hash
// of the URL's absolute string. The hash (FNV-1a over the UTF-8 bytes) is the
// same in every run, so cache files are found again after a restart.
qint64 cacheHash(const QString& absoluteString);
QString cacheKey(const QString& absoluteString);
QString cacheKey(const QUrl& url);
