#pragma once

#include "library/mediaitem.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>

// JSON form of a node: "url", "isDirectory" and "containsAudio" always
// written and required; "children", "artworkURL", "firstAudioFileURL" only
// when present. Unknown keys are ignored; any malformed child fails the whole.
QJsonObject mediaItemToJson(const MediaItem& item);
std::optional<MediaItem> mediaItemFromJson(const QJsonValue& value, QString* error = nullptr);

QByteArray encodeMediaItem(const MediaItem& item);
std::optional<MediaItem> decodeMediaItem(const QByteArray& json, QString* error = nullptr);
