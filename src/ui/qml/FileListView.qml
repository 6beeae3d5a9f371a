import QtQuick
import QtQuick.Controls
import QtQuick.Controls.impl
import QtQuick.Layouts
import Tolvane

// The audio files of the selected folder and everything below it. A click
// plays a file; the loaded file shows as selected. Without a folder, or
// without audio in it, a placeholder says so.
Item {
    id: fileList

    required property var viewModel
    readonly property bool hasFolder: !!fileList.viewModel.selectedFolder
    readonly property string title: fileList.hasFolder ? fileList.viewModel.selectedFolder.name
                                                      : qsTr("Files")

    implicitWidth: 280

    FileListModel {
        id: files

        viewModel: fileList.viewModel
    }

    ItemContextMenu {
        id: contextMenu

        viewModel: fileList.viewModel
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        Label {
            objectName: "fileListTitle"
            Layout.fillWidth: true
            leftPadding: 12
            rightPadding: 12
            topPadding: 12
            bottomPadding: 6
            text: fileList.title
            font.pixelSize: 17
            font.bold: true
            elide: Text.ElideRight
        }

        ListView {
            id: list

            objectName: "fileListRows"
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: files.count > 0
            clip: true
            model: files
            currentIndex: files.selectedRow
            highlightFollowsCurrentItem: false
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}

            delegate: Item {
                id: row

                required property int index
                required property string itemId
                required property string name
                required property bool isSelected

                width: ListView.view.width
                height: 28

                Rectangle {
                    anchors.fill: parent
                    anchors.leftMargin: 6
                    anchors.rightMargin: 6
                    radius: 5
                    color: row.isSelected ? Theme.accent : "transparent"
                }

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 14
                    anchors.rightMargin: 14
                    spacing: 8

                    IconImage {
                        Layout.preferredWidth: 14
                        Layout.preferredHeight: 14
                        source: Theme.iconSource("audio-x-generic")
                        sourceSize: Qt.size(14, 14)
                        color: row.isSelected ? Theme.palette.highlightedText : Theme.secondary
                    }
                    Label {
                        Layout.fillWidth: true
                        text: row.name
                        elide: Text.ElideMiddle
                        color: row.isSelected ? Theme.palette.highlightedText : Theme.primary
                    }
                }

                ItemPointerArea {
                    anchors.fill: parent
                    itemId: row.itemId
                    doubleClickEnabled: false
                    onClickedOnce: files.play(row.index)
                    onContextMenuRequested: contextMenu.openFor(row.itemId)
                }
            }
        }

        // No folder, or no audio in it.
        ColumnLayout {
            objectName: "fileListPlaceholder"
            Layout.fillWidth: true
            Layout.fillHeight: true
            visible: files.count === 0
            spacing: 6

            Item {
                Layout.fillHeight: true
            }
            IconImage {
                Layout.alignment: Qt.AlignHCenter
                Layout.preferredWidth: 40
                Layout.preferredHeight: 40
                source: Theme.iconSource(fileList.hasFolder ? "view-media-playlist" : "go-previous")
                sourceSize: Qt.size(40, 40)
                color: Theme.secondary
            }
            Label {
                objectName: "placeholderTitle"
                Layout.alignment: Qt.AlignHCenter
                text: fileList.hasFolder ? qsTr("No Audio Files") : qsTr("No Selection")
                font.pixelSize: 17
                font.bold: true
                color: Theme.secondary
            }
            Label {
                Layout.alignment: Qt.AlignHCenter
                Layout.maximumWidth: fileList.width - 24
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                text: fileList.hasFolder ? qsTr("This folder contains no audio files.")
                                         : qsTr("Select a folder from the sidebar.")
                color: Theme.secondary
            }
            Item {
                Layout.fillHeight: true
            }
        }
    }

    Connections {
        target: files

        function onSelectedRowChanged() {
            if (files.selectedRow >= 0)
                list.positionViewAtIndex(files.selectedRow, ListView.Contain)
        }
    }
}
