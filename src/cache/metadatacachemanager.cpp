#include "cache/metadatacachemanager.h"

#include "base/console.h"
#include "cache/atomicfilewriter.h"
#include "cache/backgroundtask.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <utility>

MetadataCacheManager& MetadataCacheManager::shared() {
    static MetadataCacheManager manager(defaultFilePath(), Loading::InBackground);
    return manager;
}

QString MetadataCacheManager::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/OrrisMediaPlayer/metadata_cache.json");
}

MetadataCacheManager::MetadataCacheManager(const QString& fileURL, Loading loading)
    : m_fileURL(fileURL) {
    // Without an event loop to hand the result back the file is read at once.
    if (loading == Loading::InBackground && QCoreApplication::instance())
        loadCacheInBackground();
    else
        loadCache();
}

MetadataCacheManager::~MetadataCacheManager() {
    *m_alive = false;
}

MetadataCacheManager::Loaded MetadataCacheManager::readFile(const QString& fileURL) {
    const QString failed =
        QStringLiteral("MetadataCacheManager: Failed to load cache (might be new): ");
    QDir().mkpath(QFileInfo(fileURL).absolutePath()); // a failure shows when saving
    QFile file(fileURL);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, failed + file.errorString()};
    QString error;
    auto decoded = decode(file.readAll(), &error);
    if (!decoded)
        return {std::nullopt, failed + error};
    const QString line =
        QStringLiteral("MetadataCacheManager: Loaded %1 items from disk").arg(decoded->size());
    return {std::move(decoded), line};
}

void MetadataCacheManager::loadCache() {
    finishLoading(readFile(m_fileURL));
}

void MetadataCacheManager::loadCacheInBackground() {
    runInBackground(
        QCoreApplication::instance(), [path = m_fileURL] { return readFile(path); },
        [this, alive = m_alive](Loaded loaded) {
            if (*alive)
                finishLoading(std::move(loaded));
        });
}

void MetadataCacheManager::finishLoading(Loaded loaded) {
    printLine(loaded.line);
    if (loaded.cache) {
        // Records inserted while the file was read are newer than its own.
        for (auto it = m_cache.cbegin(); it != m_cache.cend(); ++it)
            loaded.cache->insert(it.key(), it.value());
        m_cache = std::move(*loaded.cache);
    }
    m_loaded = true;
    if (std::exchange(m_savePending, false))
        saveCache();
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
    if (!m_loaded) {
        m_savePending = true; // written with the file's records once they are in
        return;
    }
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
