#include "cache/metadatacachemanager.h"

#include "app/console.h"
#include "cache/atomicfilewriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

MetadataCacheManager& MetadataCacheManager::shared() {
    static MetadataCacheManager manager(defaultFilePath());
    return manager;
}

QString MetadataCacheManager::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/OrrisMediaPlayer/metadata_cache.json");
}

MetadataCacheManager::MetadataCacheManager(const QString& fileURL) : m_fileURL(fileURL) {
    loadCache();
}

void MetadataCacheManager::loadCache() {
    QDir().mkpath(QFileInfo(m_fileURL).absolutePath()); // a failure shows when saving
    QFile file(m_fileURL);
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(QStringLiteral("MetadataCacheManager: Failed to load cache (might be new): ") +
                  file.errorString());
        return;
    }
    QString error;
    auto decoded = decode(file.readAll(), &error);
    if (!decoded) {
        printLine(QStringLiteral("MetadataCacheManager: Failed to load cache (might be new): ") +
                  error);
        return;
    }
    m_cache = std::move(*decoded);
    printLine(
        QStringLiteral("MetadataCacheManager: Loaded %1 items from disk").arg(m_cache.size()));
}

std::optional<CachedMetadata> MetadataCacheManager::record(const QString& id) const {
    const auto found = m_cache.constFind(id);
    if (found == m_cache.cend())
        return std::nullopt;
    return *found;
}

void MetadataCacheManager::insert(const QString& id, const CachedMetadata& metadata) {
    m_cache.insert(id, metadata);
}

void MetadataCacheManager::saveCache() {
    // The copy is taken here: the GUI thread goes on changing its own.
    AtomicFileWriter::shared().write(
        m_fileURL, [snapshot = m_cache](QString*) { return encode(snapshot); },
        [](const QString& error) {
            if (!error.isEmpty())
                printLine(QStringLiteral("MetadataCacheManager: Failed to save cache: ") + error);
        });
}

QByteArray MetadataCacheManager::encode(const QHash<QString, CachedMetadata>& cache) {
    QJsonObject object;
    for (auto it = cache.cbegin(); it != cache.cend(); ++it)
        object.insert(it.key(), it.value().toJsonObject());
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<QHash<QString, CachedMetadata>> MetadataCacheManager::decode(const QByteArray& json,
                                                                           QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = parseError.errorString();
        return std::nullopt;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("expected an object");
        return std::nullopt;
    }
    QHash<QString, CachedMetadata> cache;
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!it.value().isObject()) {
            *error = QStringLiteral("entry \"%1\" is not an object").arg(it.key());
            return std::nullopt;
        }
        auto metadata = CachedMetadata::fromJsonObject(it.value().toObject(), error);
        if (!metadata)
            return std::nullopt;
        cache.insert(it.key(), *metadata);
    }
    return cache;
}
