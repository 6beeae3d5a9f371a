#include "playback/playbackpositionstore.h"

#include "cache/atomicfilewriter.h"
#include "cache/cachekey.h"
#include "cache/mediacachemanager.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <charconv>
#include <cmath>

PlaybackPositionStore::PlaybackPositionStore(QString directory)
    : m_directory(std::move(directory)) {}

PlaybackPositionStore PlaybackPositionStore::shared() {
    return PlaybackPositionStore(
        MediaCacheManager::shared().subdirectory(QStringLiteral("PlaybackPositions")));
}

QString PlaybackPositionStore::filePath(const QUrl& trackUrl) const {
    return m_directory + QLatin1Char('/') + cacheKey(trackUrl) + QStringLiteral(".json");
}

QString PlaybackPositionStore::save(const QUrl& trackUrl, double seconds) const {
    const QByteArray bytes = encode(seconds);
    if (bytes.isEmpty())
        return QStringLiteral("not a finite number");
    // The completion runs on the writer thread; waitForIdle orders it before the read below.
    auto outcome = std::make_shared<QString>();
    AtomicFileWriter::shared().write(filePath(trackUrl), bytes,
                                     [outcome](const QString& error) { *outcome = error; });
    AtomicFileWriter::shared().waitForIdle();
    return *outcome;
}

std::optional<double> PlaybackPositionStore::load(const QUrl& trackUrl) const {
    QFile file(filePath(trackUrl));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decode(file.readAll());
}

QByteArray PlaybackPositionStore::encode(double seconds) {
    if (!std::isfinite(seconds))
        return {};
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, seconds);
    return QByteArray(buffer, result.ptr - buffer);
}

std::optional<double> PlaybackPositionStore::decode(const QByteArray& json) {
    // The document parser wants a container, so the fragment is read as the one element of one.
    const QJsonDocument document = QJsonDocument::fromJson('[' + json.trimmed() + ']');
    if (!document.isArray() || document.array().size() != 1 || !document.array().at(0).isDouble())
        return std::nullopt;
    return document.array().at(0).toDouble();
}
