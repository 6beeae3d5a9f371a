import QtQuick
import QtQuick.Controls
import Qt5Compat.GraphicalEffects
import Tolvane

// One tile of the queue strip: the artwork of a folder group, or a note on
// grey while there is none.
Item {
    id: tile

    required property string folderId
    required property string name
    property int artworkRevision: 0

    implicitWidth: 44
    implicitHeight: 44

    Item {
        id: face

        anchors.fill: parent
        visible: false

        Rectangle {
            anchors.fill: parent
            color: Qt.rgba(0.5, 0.5, 0.5, 0.3)
            visible: picture.status !== Image.Ready

            Image {
                anchors.centerIn: parent
                width: 18
                height: 18
                source: Theme.iconSource("audio-x-generic")
                sourceSize: Qt.size(36, 36)
                opacity: 0.55
            }
        }

        Image {
            id: picture

            anchors.fill: parent
            asynchronous: true
            fillMode: Image.PreserveAspectCrop
            sourceSize: Qt.size(88, 88)
            smooth: !AppSettings.isArtworkPixelated
            source: "image://artwork/item/" + encodeURIComponent(tile.folderId) + "?px="
                + (AppSettings.isArtworkPixelated ? 1 : 0) + "&v=" + tile.artworkRevision
        }
    }

    Rectangle {
        id: corners

        anchors.fill: parent
        radius: 6
        visible: false
    }

    OpacityMask {
        id: rounded

        anchors.fill: parent
        source: face
        maskSource: corners
        visible: false
    }

    DropShadow {
        anchors.fill: parent
        source: rounded
        radius: 2
        samples: 5
        color: Qt.rgba(0, 0, 0, 0.33)
        transparentBorder: true
    }

    Connections {
        target: AppNotifications

        function onArtworkUpdated(folderId) {
            if (folderId === tile.folderId)
                tile.artworkRevision += 1
        }
    }

    HoverHandler {
        id: hover
    }

    ToolTip.visible: hover.hovered
    ToolTip.delay: 600
    ToolTip.text: tile.name
}
