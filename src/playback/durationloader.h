#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <atomic>
#include <functional>

// The length of an audio file, read from its container (and counted packet by
// packet when the container only estimates it from the bit rate).
struct AssetDuration {
    double seconds = 0;
    // Empty on success; otherwise why the length could not be read.
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// Blocks while the file is opened and probed; ends early, with an error, once
// `cancel` is set (also inside a blocked read).
AssetDuration loadAssetDuration(const QUrl& url, const std::atomic<bool>* cancel = nullptr);
// The same on a thread pool of its own (never behind other background work).
// `done` runs on the GUI thread on a later turn of the event loop, never
// inside this call, and not at all once `context` is gone.
void loadAssetDurationAsync(const QUrl& url, QObject* context,
                            std::function<void(const AssetDuration&)> done);
// Blocks until every load started so far has finished; their `done` calls
// may still be waiting in the event loop. Any thread but the pool's.
void waitForDurationLoads();
