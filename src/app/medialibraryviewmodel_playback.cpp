#include "app/medialibraryviewmodel.h"

// Interim: selects the file without playing it until the playback engine lands.
void MediaLibraryViewModel::loadFile(const MediaItem& item, bool) {
    setSelectedFile(item);
    setSelectedFileID(item.id());
}
void MediaLibraryViewModel::handleTrackChange(const MediaItem&) {}
void MediaLibraryViewModel::checkDownloadStatus(const QUrl&) {}
void MediaLibraryViewModel::updateBufferingState() {}
void MediaLibraryViewModel::togglePlayPause() {}
void MediaLibraryViewModel::selectContainingFolder(const MediaItem&) {}
PlayerItem* MediaLibraryViewModel::makePlayerItem(const QUrl& url) { return new PlayerItem(url); }
void MediaLibraryViewModel::addTimeObserver() {}
void MediaLibraryViewModel::removeTimeObserver() {}
void MediaLibraryViewModel::seek(double) {}
void MediaLibraryViewModel::savePlaybackPosition() {}
