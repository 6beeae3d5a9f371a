import QtQuick
import QtQuick.Controls

// The help window: a short guide and the keyboard shortcuts.
ApplicationWindow {
    id: help

    title: qsTr("Help")
    width: 500
    height: 500
    minimumWidth: 400
    minimumHeight: 400

    function open() {
        help.show()
        help.raise()
        help.requestActivate()
    }
}
