#pragma once

#include "library/imagedownloader.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

// Saves a dropped image as a folder's cover: the bytes of the source (a
// local file, or an http/https address fetched within `limits`) are written
// unchanged to `destination` through a temporary file and a rename, then
// decoded. `done` gets the decoded image on the GUI thread, or a null image
// when any step failed (the file stays written when only decoding failed).
// Reading, writing and decoding run off the GUI thread; nothing is printed.
// `done` is not called once `context` is gone.
void saveArtworkFile(const QUrl& source, const QString& destination, QObject* context,
                     std::function<void(const QImage& image)> done,
                     const DownloadLimits& limits = {});
