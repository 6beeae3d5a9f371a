#include "app/medialibraryviewmodel.h"

// Interim until media keys, the now-playing record and sleep prevention land.
void MediaLibraryViewModel::setupRemoteCommands() {}
void MediaLibraryViewModel::updateNowPlayingInfo() {}
void MediaLibraryViewModel::updateSleepPrevention() {}
