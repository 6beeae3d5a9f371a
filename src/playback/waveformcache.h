#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

class MediaCacheManager;

// Waveforms are kept in "Waveforms/<cacheKey>.json" as a JSON array of
// numbers; one holding fewer than 1001 values counts as missing.
inline constexpr int minimumCachedWaveformSize = 1001;

QString waveformCacheFilePath(const MediaCacheManager& manager, const QUrl& fileUrl);
QByteArray encodeWaveform(const QList<float>& values);
// Nothing when the bytes are no array of numbers.
std::optional<QList<float>> decodeWaveform(const QByteArray& json);
// The cached values when the file exists, decodes and is long enough.
std::optional<QList<float>> readCachedWaveform(const QString& path);
