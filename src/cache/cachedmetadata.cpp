#include "cache/cachedmetadata.h"

#include <QJsonDocument>
#include <array>

namespace {

using Field = std::optional<QString> CachedMetadata::*;

struct NamedField {
    QLatin1String key;
    Field field;
};

constexpr std::array<NamedField, 7> fields = {{
    {QLatin1String("title"), &CachedMetadata::title},
    {QLatin1String("artist"), &CachedMetadata::artist},
    {QLatin1String("year"), &CachedMetadata::year},
    {QLatin1String("fileType"), &CachedMetadata::fileType},
    {QLatin1String("bitDepth"), &CachedMetadata::bitDepth},
    {QLatin1String("sampleRate"), &CachedMetadata::sampleRate},
    {QLatin1String("filesize"), &CachedMetadata::filesize},
}};

} // namespace

QJsonObject CachedMetadata::toJsonObject() const {
    QJsonObject object;
    for (const NamedField& named : fields) {
        if (const auto& value = this->*named.field)
            object.insert(named.key, *value);
    }
    return object;
}

QByteArray CachedMetadata::toJson() const {
    return QJsonDocument(toJsonObject()).toJson(QJsonDocument::Compact);
}

std::optional<CachedMetadata> CachedMetadata::fromJsonObject(const QJsonObject& object,
                                                             QString* error) {
    CachedMetadata metadata;
    for (const NamedField& named : fields) {
        const QJsonValue value = object.value(named.key);
        if (value.isUndefined() || value.isNull())
            continue;
        if (!value.isString()) {
            if (error)
                *error = QStringLiteral("value of \"%1\" is not a string").arg(named.key);
            return std::nullopt;
        }
        metadata.*named.field = value.toString();
    }
    return metadata;
}
