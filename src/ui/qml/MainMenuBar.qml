import QtQuick
import QtQuick.Controls
import Tolvane

// File, View, Playback and Help. The keys without modifiers work anywhere in
// the window except while a text field takes the same key.
MenuBar {
    id: bar

    required property var viewModel
    required property ApplicationWindow window

    readonly property bool hasLibrary: !!bar.viewModel.rootFolder

    Menu {
        title: qsTr("&File")

        Action {
            text: qsTr("Open Media Folder...")
            shortcut: "Ctrl+O"
            onTriggered: bar.viewModel.requestFolderAccess()
        }
        MenuSeparator {}
        Action {
            text: qsTr("Rescan Folder")
            shortcut: "Ctrl+R"
            enabled: bar.hasLibrary
            onTriggered: bar.viewModel.rescanFolder()
        }
        Action {
            text: qsTr("Unload Folder")
            enabled: bar.hasLibrary
            onTriggered: bar.viewModel.unloadFolder()
        }
        MenuSeparator {}
        Action {
            text: qsTr("Quit")
            shortcut: StandardKey.Quit
            onTriggered: Qt.quit()
        }
    }

    Menu {
        title: qsTr("&View")

        Action {
            text: qsTr("Sidebar")
            shortcut: "S"
            checkable: true
            checked: AppSettings.isSidebarVisible
            onTriggered: AppSettings.isSidebarVisible = !AppSettings.isSidebarVisible
        }
        Action {
            text: qsTr("Grid Mode")
            shortcut: "G"
            checkable: true
            checked: AppSettings.useGridSidebar
            onTriggered: AppSettings.useGridSidebar = !AppSettings.useGridSidebar
        }
        Action {
            text: qsTr("Large Icons")
            checkable: true
            checked: AppSettings.useLargeArtwork
            onTriggered: AppSettings.useLargeArtwork = !AppSettings.useLargeArtwork
        }
        Action {
            text: qsTr("Track List")
            shortcut: "L"
            checkable: true
            checked: AppSettings.isTrackListVisible
            onTriggered: AppSettings.isTrackListVisible = !AppSettings.isTrackListVisible
        }
        MenuSeparator {}
        Action {
            text: qsTr("Fullscreen Artwork")
            shortcut: "F"
            checkable: true
            checked: bar.viewModel.isFullscreenArtwork
            onTriggered: {
                bar.viewModel.isFullscreenArtwork = !bar.viewModel.isFullscreenArtwork
                bar.viewModel.updateSleepPrevention()
            }
        }
        Action {
            text: qsTr("Fullscreen OLED Care")
            checkable: true
            checked: bar.viewModel.isOLEDCareMode
            onTriggered: bar.viewModel.isOLEDCareMode = !bar.viewModel.isOLEDCareMode
        }
        MenuSeparator {}
        Action {
            text: qsTr("Toggle Full Screen")
            shortcut: "Ctrl+Meta+F"
            onTriggered: bar.toggleWindowFullScreen()
        }
    }

    Menu {
        title: qsTr("&Playback")

        Action {
            text: qsTr("Play/Pause")
            shortcut: "Space"
            onTriggered: bar.viewModel.togglePlayPause()
        }
        Action {
            text: qsTr("Previous")
            shortcut: "Left"
            onTriggered: bar.viewModel.previousTrack()
        }
        Action {
            text: qsTr("Next")
            shortcut: "Right"
            onTriggered: bar.viewModel.nextTrack()
        }
        MenuSeparator {}
        Action {
            text: qsTr("Clear Queue")
            onTriggered: bar.viewModel.clearQueue()
        }
    }

    Menu {
        title: qsTr("&Help")

        Action {
            text: qsTr("Tolvane Help")
            shortcut: "Ctrl+?"
            onTriggered: AppNotifications.openHelp()
        }
        MenuSeparator {}
        Action {
            text: qsTr("Volume Website")
            onTriggered: Qt.openUrlExternally("https://tolvane.org/volume")
        }
    }

    // Only the window that has the keyboard changes its full-screen state.
    function toggleWindowFullScreen() {
        if (!bar.window.active)
            return
        if (bar.window.visibility === Window.FullScreen)
            bar.window.showNormal()
        else
            bar.window.showFullScreen()
    }
}
