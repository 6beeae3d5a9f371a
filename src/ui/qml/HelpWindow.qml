import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tolvane

// The help window: a short guide to the player, then the keyboard shortcuts.
// The guide is read again every time the window opens.
ApplicationWindow {
    id: help

    Component.onCompleted: Theme.paint(help)

    Connections {
        target: Theme

        function onChanged() {
            Theme.paint(help)
        }
    }

    property string helpText: qsTr("Loading...")

    title: qsTr("Tolvane Help")
    width: 500
    height: 500
    minimumWidth: 400
    minimumHeight: 400

    function open() {
        help.helpText = HelpDocument.load()
        help.show()
        help.raise()
        help.requestActivate()
    }

    ScrollView {
        id: scroll

        anchors.fill: parent
        contentWidth: availableWidth
        ScrollBar.vertical.policy: ScrollBar.AlwaysOn

        ColumnLayout {
            width: scroll.availableWidth
            spacing: 20

            Label {
                objectName: "helpText"
                text: help.helpText
                textFormat: Text.PlainText
                wrapMode: Text.Wrap
                Layout.fillWidth: true
                Layout.topMargin: 16
                Layout.leftMargin: 16
                Layout.rightMargin: 16
            }

            Rectangle {
                implicitHeight: 1
                color: Theme.secondary
                opacity: 0.4
                Layout.fillWidth: true
                Layout.leftMargin: 16
                Layout.rightMargin: 16
            }

            ShortcutTable {
                Layout.fillWidth: true
                Layout.leftMargin: 16
                Layout.rightMargin: 16
                Layout.bottomMargin: 16
            }
        }
    }
}
