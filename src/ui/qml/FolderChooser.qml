import QtQuick
import QtQuick.Dialogs

// The folder chooser the view model asks for; the chosen folder goes back to it.
FolderDialog {
    id: chooser

    required property var viewModel

    onAccepted: chooser.viewModel.acceptChosenFolder(chooser.selectedFolder)

    Connections {
        target: chooser.viewModel

        function onFolderAccessRequested(prompt, message) {
            chooser.acceptLabel = prompt
            chooser.title = message
            chooser.open()
        }
    }
}
