#pragma once

#include "library/mediaitem.h"

#include <QList>
#include <QString>

// Rules shared by the queue operations.

// A folder stands for its audio files (depth first), an audio file for itself,
// anything else for nothing.
QList<MediaItem> expandedFiles(const MediaItem& item);

// The folder group an entry belongs to: a folder's own id, or a file's id
// without its last path component. Ids carry no trailing separator, so a
// folder entry and the files inside it share one group.
QString entryFolder(const MediaItem& entry);

// `index` clamped into a non-empty list of `count` entries.
int clampedIndex(int index, qsizetype count);
