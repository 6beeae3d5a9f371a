import QtQuick
import QtQuick.Controls
import Tolvane

// One tile of the sidebar grid: the cover, and the name while the pointer
// is over the tile.
Item {
    id: cell

    required property var viewModel
    required property SidebarEntryModel entries
    required property string itemId
    required property string name
    required property bool isSelected
    required property real artworkSize
    required property var item

    signal contextMenuRequested(string id)

    width: GridView.view ? GridView.view.cellWidth : implicitWidth
    height: GridView.view ? GridView.view.cellHeight : implicitHeight

    Rectangle {
        id: tile

        anchors.horizontalCenter: parent.horizontalCenter
        width: cell.artworkSize + 20
        height: column.height + 20
        radius: 8
        color: cell.isSelected ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.2)
                               : "transparent"

        Column {
            id: column

            x: 10
            y: 10
            spacing: 6

            FolderArtworkView {
                item: cell.item
                size: cell.artworkSize
                dropEnabled: true
                halo: true
                onArtworkDropped: source => cell.viewModel.saveArtwork(source, cell.item)
            }
            Label {
                width: cell.artworkSize
                text: cell.name
                font.pixelSize: Math.round(Qt.application.font.pixelSize * 0.85)
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
                opacity: pointer.containsMouse ? 1 : 0

                Behavior on opacity {
                    NumberAnimation {
                        duration: 200
                        easing.type: Easing.InOutQuad
                    }
                }
            }
        }

        ItemPointerArea {
            id: pointer

            anchors.fill: parent
            itemId: cell.itemId
            onClickedOnce: cell.entries.click(cell.entries.rowOf(cell.itemId))
            onClickedTwice: cell.entries.doubleClick(cell.entries.rowOf(cell.itemId))
            onContextMenuRequested: cell.contextMenuRequested(cell.itemId)
        }
    }
}
