import QtQuick
import QtQuick.Controls

// The audio files of the selected folder.
Pane {
    id: fileList

    required property var viewModel

    padding: 0
}
