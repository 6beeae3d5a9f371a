import QtQuick
import QtQuick.Controls

// The library column: search, "Sync Folder" and the folder tree or grid.
Pane {
    id: sidebar

    required property var viewModel

    padding: 0
}
