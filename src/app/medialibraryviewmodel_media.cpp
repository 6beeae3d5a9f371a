#include "app/medialibraryviewmodel.h"

// Interim until the artwork store, track information and waveforms land.
bool MediaLibraryViewModel::loadCurrentArtwork(const QUrl&) { return false; }
void MediaLibraryViewModel::loadTrackInfo(const MediaItem&) { setIsLoading(false); }
void MediaLibraryViewModel::loadWaveform(const MediaItem&) {}
