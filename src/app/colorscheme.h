#pragma once

class QGuiApplication;

// Follows the desktop's light or dark preference: the freedesktop portal's
// "color-scheme" setting (read without waiting, and followed when it
// changes), else a GTK theme named "...:dark". TOLVANE_COLOR_SCHEME=dark or
// light overrides both.
void followDesktopColorScheme(QGuiApplication& app);

// The palette the views are drawn with for a dark or light desktop.
void applyColorScheme(bool dark);
