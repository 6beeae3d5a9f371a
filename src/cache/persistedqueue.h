#pragma once

#include "library/mediaitem.h"

#include <QByteArray>
#include <QList>
#include <optional>

// The stored playback queue: {"queue": [node...], "index": n}, both required.
struct PersistedQueue {
    QList<MediaItem> queue;
    int index = 0;

    QByteArray toJson() const;
    static std::optional<PersistedQueue> fromJson(const QByteArray& json, QString* error);
};
