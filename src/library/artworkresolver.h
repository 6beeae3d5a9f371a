#pragma once

#include "library/mediaitem.h"

#include <QImage>
#include <QObject>
#include <functional>

// The full artwork lookup for one library item, for views whose cache look-up
// came back empty: the store under the item's URL (taken as it is), else the
// item's artworkURL, else the first decodable picture embedded in its first
// audio file. What the last two find is stored under the item's URL, so a
// folder keeps the cover of its first track under its own key. Files of a
// not-downloaded placeholder are left alone. `done` runs later on the GUI
// thread with the image, or a null image; not at all once `context` is gone.
void resolveArtwork(const MediaItem& item, QObject* context,
                    std::function<void(const QImage& image)> done);
