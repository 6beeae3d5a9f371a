import QtQuick
import QtQuick.Controls
import Tolvane

// The menu of a library item in the sidebar and the file list. One menu per
// view; openFor() aims it at the item under the pointer.
Menu {
    id: menu

    required property var viewModel
    property string itemId: ""

    function openFor(id) {
        menu.itemId = id
        menu.popup()
    }

    MenuItem {
        text: qsTr("Play Next")
        onTriggered: menu.viewModel.playNextByID(menu.itemId)
    }
    MenuItem {
        text: qsTr("Add to Queue")
        onTriggered: menu.viewModel.addToQueueByID(menu.itemId)
    }
    MenuSeparator {}
    MenuItem {
        text: qsTr("Show in File Manager")
        onTriggered: FileManagerReveal.showItem(menu.itemId)
    }
}
