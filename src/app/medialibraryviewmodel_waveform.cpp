#include "app/medialibraryviewmodel.h"
#include "cache/atomicfilewriter.h"
#include "cache/backgroundtask.h"
#include "cache/mediacachemanager.h"
#include "playback/waveformcache.h"
#include "playback/waveformgenerator.h"

void MediaLibraryViewModel::loadWaveform(const MediaItem& item) {
    const QUrl url = item.url();
    const QString cacheFile = waveformCacheFilePath(MediaCacheManager::shared(), url);
    if (auto cached = readCachedWaveform(cacheFile)) {
        setWaveformSamples(std::move(*cached));
        return;
    }
    // Nothing of an earlier track stays on screen while this one is computed.
    setWaveformSamples({});
    runInBackground(
        this,
        [url, cacheFile, current = selectionUnchanged()]() -> std::optional<QList<float>> {
            // A file already left behind is not decoded at all: rapid clicks
            // would otherwise fill the pool with long decodes.
            if (!current())
                return std::nullopt;
            std::optional<QList<float>> values = generateWaveform(url);
            // Kept even when another file is selected by the time it is ready.
            if (values)
                AtomicFileWriter::shared().write(cacheFile, encodeWaveform(*values));
            return values;
        },
        [this, url](std::optional<QList<float>> values) {
            if (values && m_selectedFile && m_selectedFile->url() == url)
                setWaveformSamples(std::move(*values));
        });
}
