import QtQuick
import QtQuick.Controls

ApplicationWindow {
    id: window

    required property var viewModel

    width: 1100
    height: 720
    visible: true
    title: "Tolvane"

    Label {
        anchors.centerIn: parent
        text: window.viewModel.selectedFile ? window.viewModel.currentTitle : qsTr("No track loaded")
    }

    // Opened when the view model asks for the media folder.
    FolderChooser {
        viewModel: window.viewModel
    }
}
