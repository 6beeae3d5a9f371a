import QtQuick
import QtQuick.Controls

// The two alerts of the window, each open exactly while its flag is set;
// any way of closing one clears the flag.
Item {
    id: alerts

    required property var viewModel

    anchors.fill: parent

    Dialog {
        id: errorAlert

        objectName: "errorAlert"
        title: qsTr("Error")
        anchors.centerIn: parent
        modal: true
        visible: alerts.viewModel.showError
        standardButtons: Dialog.Ok
        onClosed: alerts.viewModel.showError = false

        contentWidth: 420

        Label {
            width: 420
            text: alerts.viewModel.errorMessage
            wrapMode: Text.Wrap
        }
    }

    Dialog {
        id: permissionAlert

        objectName: "permissionAlert"
        title: qsTr("Write Access Required")
        anchors.centerIn: parent
        modal: true
        visible: alerts.viewModel.showPermissionAlert
        onClosed: alerts.viewModel.showPermissionAlert = false

        contentWidth: 420

        Label {
            width: 420
            text: qsTr("The app needs write access to the media folder to save artwork. Please re-select the folder and grant access.")
            wrapMode: Text.Wrap
        }

        standardButtons: Dialog.Ok | Dialog.Cancel
        Component.onCompleted: standardButton(Dialog.Ok).text = qsTr("Grant Access")
        onAccepted: alerts.viewModel.requestFolderAccess()
    }
}
