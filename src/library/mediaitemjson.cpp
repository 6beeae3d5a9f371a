#include "library/mediaitemjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {
const QString kUrl = QStringLiteral("url");
const QString kIsDirectory = QStringLiteral("isDirectory");
const QString kChildren = QStringLiteral("children");
const QString kArtworkURL = QStringLiteral("artworkURL");
const QString kFirstAudioFileURL = QStringLiteral("firstAudioFileURL");
const QString kContainsAudio = QStringLiteral("containsAudio");

bool fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

bool readOptionalUrl(const QJsonObject& object, const QString& key, std::optional<QUrl>& out,
                     QString* error) {
    const auto it = object.constFind(key);
    if (it == object.constEnd() || it->isNull())
        return true;
    if (!it->isString())
        return fail(error, QStringLiteral("key \"%1\" is not a string").arg(key));
    out = QUrl(it->toString(), QUrl::StrictMode);
    return true;
}
} // namespace

QJsonObject mediaItemToJson(const MediaItem& item) {
    QJsonObject object;
    object.insert(kUrl, item.id());
    object.insert(kIsDirectory, item.isDirectory);
    if (item.children) {
        QJsonArray children;
        for (const MediaItem& child : *item.children)
            children.append(mediaItemToJson(child));
        object.insert(kChildren, children);
    }
    if (item.artworkURL)
        object.insert(kArtworkURL, absoluteString(*item.artworkURL));
    if (item.firstAudioFileURL)
        object.insert(kFirstAudioFileURL, absoluteString(*item.firstAudioFileURL));
    object.insert(kContainsAudio, item.containsAudio);
    return object;
}

std::optional<MediaItem> mediaItemFromJson(const QJsonValue& value, QString* error) {
    if (!value.isObject()) {
        fail(error, QStringLiteral("expected an object for a media item"));
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    const QJsonValue url = object.value(kUrl);
    const QJsonValue isDirectory = object.value(kIsDirectory);
    const QJsonValue containsAudio = object.value(kContainsAudio);
    if (!url.isString()) {
        fail(error, QStringLiteral("key \"url\" is missing or not a string"));
        return std::nullopt;
    }
    if (!isDirectory.isBool()) {
        fail(error, QStringLiteral("key \"isDirectory\" is missing or not a Boolean"));
        return std::nullopt;
    }
    if (!containsAudio.isBool()) {
        fail(error, QStringLiteral("key \"containsAudio\" is missing or not a Boolean"));
        return std::nullopt;
    }

    MediaItem item = MediaItem::fromId(url.toString(), isDirectory.toBool());
    item.containsAudio = containsAudio.toBool();

    const QJsonValue children = object.value(kChildren);
    if (children.isArray()) {
        const QJsonArray array = children.toArray();
        QList<MediaItem> nodes;
        nodes.reserve(array.size());
        for (const QJsonValue& child : array) {
            std::optional<MediaItem> node = mediaItemFromJson(child, error);
            if (!node)
                return std::nullopt;
            nodes.append(std::move(*node));
        }
        item.children = std::move(nodes);
    } else if (!children.isUndefined() && !children.isNull()) {
        fail(error, QStringLiteral("key \"children\" is not an array"));
        return std::nullopt;
    }
    if (!readOptionalUrl(object, kArtworkURL, item.artworkURL, error) ||
        !readOptionalUrl(object, kFirstAudioFileURL, item.firstAudioFileURL, error))
        return std::nullopt;
    return item;
}

QByteArray encodeMediaItem(const MediaItem& item) {
    return QJsonDocument(mediaItemToJson(item)).toJson(QJsonDocument::Compact);
}

std::optional<MediaItem> decodeMediaItem(const QByteArray& json, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        fail(error, parseError.errorString());
        return std::nullopt;
    }
    return mediaItemFromJson(document.object(), error);
}
