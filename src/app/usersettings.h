#pragma once

class QSettings;

// The user defaults of the view model: one QSettings for the whole process,
// made on first use, GUI thread only (after the organisation and application
// names are set). It writes its changes to disk from the event loop, once per
// burst of changes, where a temporary QSettings would write (and fsync) the
// file each time it goes away.
QSettings& userSettings();
