import QtQuick
import QtQuick.Controls
import Tolvane

// The main window: the sidebar and the player panel side by side, the menu
// bar, the window's own shortcuts, its alerts and the windows it opens.
ApplicationWindow {
    id: window

    Component.onCompleted: Theme.paint(window)

    Connections {
        target: Theme

        function onChanged() {
            Theme.paint(window)
        }
    }

    required property var viewModel

    width: 1200
    height: 780
    minimumWidth: 640
    minimumHeight: 440
    visible: true
    title: window.viewModel.selectedFolder ? window.viewModel.selectedFolder.name : "Tolvane"

    menuBar: MainMenuBar {
        viewModel: window.viewModel
        window: window
    }

    SplitView {
        id: split

        anchors.fill: parent
        orientation: Qt.Horizontal

        SidebarView {
            id: sidebar

            viewModel: window.viewModel
            visible: AppSettings.isSidebarVisible
            SplitView.preferredWidth: AppSettings.sidebarWidth
            SplitView.minimumWidth: 200
            SplitView.maximumWidth: 800
        }

        Item {
            SplitView.fillWidth: true
            SplitView.minimumWidth: 360

            PlayerView {
                anchors.fill: parent
                viewModel: window.viewModel
                isTrackListVisible: AppSettings.isTrackListVisible
            }

            // The toolbar has no background of its own: it floats over the panel.
            PlayerToolbar {
                anchors.top: parent.top
                anchors.right: parent.right
                anchors.margins: 8
                viewModel: window.viewModel
            }
        }
    }

    WindowShortcuts {}

    WindowAlerts {
        viewModel: window.viewModel
    }

    FolderChooser {
        viewModel: window.viewModel
    }

    FullscreenArtworkManager {
        viewModel: window.viewModel
    }

    HelpWindow {
        id: help
    }

    Connections {
        target: AppNotifications

        function onOpenHelp() {
            help.open()
        }
    }
}
