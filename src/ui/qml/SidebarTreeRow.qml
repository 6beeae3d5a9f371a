import QtQuick
import QtQuick.Controls
import Tolvane

// One line of the sidebar tree: artwork and name, indented by depth.
Item {
    id: row

    required property var viewModel
    required property SidebarEntryModel entries
    required property string itemId
    required property string name
    required property int depth
    required property bool isSelected
    required property real artworkSize
    required property var item

    signal contextMenuRequested(string id)

    width: ListView.view ? ListView.view.width : implicitWidth
    height: row.artworkSize + 12

    Rectangle {
        anchors.fill: parent
        color: row.isSelected ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.1)
                              : "transparent"
    }

    Row {
        id: content

        x: 12 + 20 * row.depth
        anchors.verticalCenter: parent.verticalCenter
        spacing: 12

        FolderArtworkView {
            item: row.item
            size: row.artworkSize
            dropEnabled: true
            anchors.verticalCenter: parent.verticalCenter
            onArtworkDropped: source => row.viewModel.saveArtwork(source, row.item)
        }
        Label {
            anchors.verticalCenter: parent.verticalCenter
            width: Math.max(0, row.width - content.x - row.artworkSize - content.spacing - 12)
            text: row.name
            elide: Text.ElideRight
            maximumLineCount: 1
        }
    }

    ItemPointerArea {
        anchors.fill: parent
        itemId: row.itemId
        onClickedOnce: row.entries.click(row.entries.rowOf(row.itemId))
        onClickedTwice: row.entries.doubleClick(row.entries.rowOf(row.itemId))
        onContextMenuRequested: row.contextMenuRequested(row.itemId)
    }
}
