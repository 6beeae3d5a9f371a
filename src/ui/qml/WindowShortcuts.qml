import QtQuick
import Tolvane

// Keys of the main window that no menu item carries. Meta is the Super
// ("Windows") key on Linux.
Item {
    Shortcut {
        sequences: ["Ctrl+Alt+Meta+F4"]
        context: Qt.ApplicationShortcut
        onActivated: AppSettings.isArtworkPixelated = true
    }
    Shortcut {
        sequences: ["Ctrl+Alt+Meta+F5"]
        context: Qt.ApplicationShortcut
        onActivated: AppSettings.isArtworkPixelated = false
    }
    Shortcut {
        sequences: [StandardKey.HelpContents]
        onActivated: AppNotifications.openHelp()
    }
}
