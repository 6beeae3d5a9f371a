#include "playback/waveformcache.h"

#include "base/console.h"
#include "cache/cachekey.h"
#include "cache/mediacachemanager.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>
#include <limits>

QString waveformCacheFilePath(const MediaCacheManager& manager, const QUrl& fileUrl) {
    return manager.subdirectory(QStringLiteral("Waveforms")) + QLatin1Char('/') +
           cacheKey(fileUrl) + QStringLiteral(".json");
}

QByteArray encodeWaveform(const QList<float>& values) {
    // Shortest text per value: it reads back as the same float and keeps the
    // file at about half the size of double-precision text.
    QByteArray json;
    json.reserve(values.size() * 12 + 2);
    json.append('[');
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            json.append(',');
        json.append(floatText(values[i]).toLatin1());
    }
    json.append(']');
    return json;
}

std::optional<QList<float>> decodeWaveform(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<float> values;
    values.reserve(array.size());
    for (const QJsonValue& value : array) {
        // A value beyond float's range would read as infinity, which the
        // view cannot draw and the encoder cannot write back.
        if (!value.isDouble() || !(std::abs(value.toDouble()) <= std::numeric_limits<float>::max()))
            return std::nullopt;
        values.append(static_cast<float>(value.toDouble()));
    }
    return values;
}

std::optional<QList<float>> readCachedWaveform(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    auto values = decodeWaveform(file.readAll());
    if (!values || values->size() < minimumCachedWaveformSize)
        return std::nullopt;
    return values;
}
