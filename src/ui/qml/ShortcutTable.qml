import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The keyboard shortcuts as a two-column table: action, then its keys on a
// small gray key cap.
ColumnLayout {
    id: table

    // Pairs of [action, keys], in this order. The keys are those the menus
    // and the windows really bind.
    property var shortcuts: [
        [qsTr("Play / Pause"), "Space"],
        [qsTr("Open Folder"), "Ctrl + O"],
        [qsTr("Toggle Fullscreen Artwork"), "F"],
        [qsTr("Toggle App Fullscreen"), "Ctrl + Meta + F"],
        [qsTr("Exit Fullscreen Artwork"), "Esc"],
        [qsTr("Previous Track"), "Left Arrow"],
        [qsTr("Next Track"), "Right Arrow"],
        [qsTr("Toggle Track List"), "L"]
    ]

    spacing: 12

    Label {
        text: qsTr("Shortcuts")
        font.bold: true
        font.pointSize: Qt.application.font.pointSize * 1.5
    }

    GridLayout {
        columns: 2
        columnSpacing: 20
        rowSpacing: 8

        Repeater {
            model: table.shortcuts.length * 2

            delegate: Label {
                required property int index

                readonly property var row: table.shortcuts[Math.floor(index / 2)]
                readonly property bool isKey: index % 2 === 1

                objectName: isKey ? "key" : "action"
                text: isKey ? row[1] : row[0]
                font.family: isKey ? "monospace" : Qt.application.font.family
                leftPadding: isKey ? 6 : 0
                rightPadding: isKey ? 6 : 0
                topPadding: isKey ? 2 : 0
                bottomPadding: isKey ? 2 : 0
                Layout.alignment: Qt.AlignLeft | Qt.AlignVCenter
                background: Rectangle {
                    visible: parent.isKey
                    radius: 4
                    color: Qt.rgba(0.5, 0.5, 0.5, 0.2)
                }
            }
        }
    }
}
