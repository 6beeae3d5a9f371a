import QtQuick
import QtQuick.Controls

// The detail column: the file list and the player.
Pane {
    id: player

    required property var viewModel
    property bool isTrackListVisible: true

    padding: 0
}
