#pragma once

#include "library/mediaitem.h"

#include <QList>
#include <QUrl>
#include <optional>

// Lookups over a list of nodes (usually the one-element list holding the
// root): depth first, pre-order, in stored child order, first match wins.

// The audio files beneath a folder, sub-folders' files before the folder's own.
QList<MediaItem> flattenAudioFiles(const MediaItem& folder);

std::optional<MediaItem> findItem(const QList<MediaItem>& items, const QString& id);
// Matches by file-system path, so a trailing separator makes no difference.
std::optional<MediaItem> findItemByPath(const QList<MediaItem>& items, const QUrl& url);
std::optional<MediaItem> findItemByPath(const QList<MediaItem>& items, const QString& path);
// The folder one of whose direct children has the given URL.
std::optional<MediaItem> findParentFolder(const QList<MediaItem>& items, const QUrl& url);
