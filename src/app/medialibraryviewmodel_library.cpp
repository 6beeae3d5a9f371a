#include "app/medialibraryviewmodel.h"

// Interim until scanning and folder access land.
void MediaLibraryViewModel::restoreLastFolder() {}
void MediaLibraryViewModel::refreshSecurityScopeAccess() {}
void MediaLibraryViewModel::refreshLibrary() {}
