#include "cache/persistedqueue.h"

#include "library/mediaitemjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <climits>
#include <cmath>

QByteArray PersistedQueue::toJson() const {
    QJsonArray items;
    for (const MediaItem& item : queue)
        items.append(mediaItemToJson(item));
    QJsonObject object;
    object.insert(QStringLiteral("queue"), items);
    object.insert(QStringLiteral("index"), index);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<PersistedQueue> PersistedQueue::fromJson(const QByteArray& json, QString* error) {
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
    const QJsonObject object = document.object();
    const QJsonValue queue = object.value(QStringLiteral("queue"));
    const QJsonValue index = object.value(QStringLiteral("index"));
    if (!queue.isArray()) {
        *error = QStringLiteral("key \"queue\" is missing or not an array");
        return std::nullopt;
    }
    // The index must be a whole number that fits a signed 32-bit integer;
    // the range is checked first, as converting a larger one is undefined.
    const double number = index.toDouble();
    if (!index.isDouble() || !(number >= INT_MIN && number <= INT_MAX) ||
        number != std::trunc(number)) {
        *error = QStringLiteral("key \"index\" is missing or not an integer");
        return std::nullopt;
    }
    PersistedQueue result;
    result.index = static_cast<int>(number);
    for (const QJsonValue& value : queue.toArray()) {
        std::optional<MediaItem> item = mediaItemFromJson(value, error);
        if (!item)
            return std::nullopt;
        result.queue.append(std::move(*item));
    }
    return result;
}
