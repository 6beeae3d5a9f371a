#include "fuzztargets.h"

#include "audio/audiodecoder.h"
#include "cache/metadatacachemanager.h"
#include "cache/persistedqueue.h"
#include "library/mediaitemjson.h"
#include "playback/playbackpositionstore.h"
#include "playback/waveformcache.h"

#include <QDir>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>
#include <sys/resource.h>
#include <vector>

namespace {

void visitTree(const MediaItem& item) {
    item.path();
    item.name();
    item.subfolders();
    if (item.children)
        for (const MediaItem& child : *item.children)
            visitTree(child);
}

bool libraryTree(const QByteArray& bytes) {
    const auto tree = decodeMediaItem(bytes);
    if (!tree)
        return true;
    visitTree(*tree);
    const QByteArray written = encodeMediaItem(*tree);
    const auto reread = decodeMediaItem(written);
    return reread && encodeMediaItem(*reread) == written;
}

bool queue(const QByteArray& bytes) {
    QString error;
    const auto queue = PersistedQueue::fromJson(bytes, &error);
    if (!queue)
        return !error.isEmpty();
    const QByteArray written = queue->toJson();
    const auto reread = PersistedQueue::fromJson(written, &error);
    return reread && reread->toJson() == written;
}

bool metadataCache(const QByteArray& bytes) {
    QString error;
    const auto cache = MetadataCacheManager::decode(bytes, &error);
    if (!cache)
        return !error.isEmpty();
    const auto reread = MetadataCacheManager::decode(MetadataCacheManager::encode(*cache), &error);
    return reread == cache;
}

bool playbackPosition(const QByteArray& bytes) {
    const auto seconds = PlaybackPositionStore::decode(bytes);
    return !seconds ||
           PlaybackPositionStore::decode(PlaybackPositionStore::encode(*seconds)) == seconds;
}

bool waveform(const QByteArray& bytes) {
    const auto values = decodeWaveform(bytes);
    if (!values)
        return true;
    // By value: QList compares floats bit for bit, and -0 reads back as 0.
    const auto reread = decodeWaveform(encodeWaveform(*values));
    return reread && std::ranges::equal(*reread, *values);
}

// The decoder reads files by path, so the bytes go to one temporary file.
bool decodeAudioFile(const QByteArray& bytes) {
    static QTemporaryFile file(QDir::tempPath() + QStringLiteral("/tolvane-fuzz-XXXXXX"));
    if (!file.isOpen() && !file.open())
        return false;
    file.resize(0);
    file.seek(0);
    file.write(bytes);
    file.flush();

    AudioDecoder decoder;
    if (!decoder.open(file.fileName()))
        return !decoder.error().isEmpty();
    if (!decoder.setOutputFormat({44100, 2}) || !std::isfinite(decoder.durationSeconds()))
        return false;
    // A bounded read (10 s of output) from the start, then again from the middle.
    std::vector<float> buffer(4096 * 2);
    for (int pass = 0; pass < 2; ++pass) {
        for (int total = 0, got = 1; got > 0 && total < 441000; total += got) {
            got = decoder.read(buffer.data(), 4096);
            if (got < 0 || got > 4096)
                return false;
        }
        if (pass == 0 && !decoder.seek(std::max<int64_t>(0, decoder.lengthFrames() / 2)))
            break;
    }
    return true;
}

// Decoding a small file must not need more than 256 MiB at once.
bool audioFile(const QByteArray& bytes) {
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    const bool survived = decodeAudioFile(bytes);
    getrusage(RUSAGE_SELF, &after);
    return survived && after.ru_maxrss - before.ru_maxrss < 256 * 1024;
}

constexpr FuzzTarget targets[] = {
    {"library_tree", libraryTree},
    {"queue", queue},
    {"metadata_cache", metadataCache},
    {"playback_position", playbackPosition},
    {"waveform", waveform},
    {"audio_file", audioFile},
};

} // namespace

std::span<const FuzzTarget> fuzzTargets() {
    return targets;
}

const FuzzTarget* findFuzzTarget(std::string_view name) {
    for (const FuzzTarget& target : targets)
        if (target.name == name)
            return &target;
    return nullptr;
}
