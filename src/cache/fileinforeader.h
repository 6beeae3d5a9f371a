#pragma once

#include "cache/cachedmetadata.h"

#include <QUrl>

// The track information that the file itself and its tags give, formatted
// for display: file type from the extension, size from the file attributes,
// then title, artists, year, sample rate and bit depth from the tag reader
// (TagLib). Absent values stay absent; nothing is logged. Safe on any thread.
CachedMetadata readFileInfo(const QUrl& fileUrl);
