#pragma once

#include "library/mediaitem.h"

#include <QUrl>
#include <atomic>

// Builds the tree of a folder: sub-folders (all of them) and audio files,
// folders before files, each group in numeric, case-insensitive name order.
// A folder's artwork is, in this order: a file named "folder.jpg" (any case),
// the first image whose name holds "cover", "artwork", "front" or "album",
// the first other image, the artwork of the first sub-folder named "cover",
// "artwork", "scans" or "covers". `firstAudioFileURL` is the first audio file
// in listing order. Never fails: a folder that cannot be read becomes a
// partial or empty folder node and prints "Error scanning directory ...".
// Reads nothing but the file system, so it may run on any thread. Once
// `cancelled` is set the scan ends early with a partial tree.
MediaItem scanDirectory(const QUrl& folder, const std::atomic<bool>* cancelled = nullptr);
