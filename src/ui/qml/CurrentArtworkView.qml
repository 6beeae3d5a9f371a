import QtQuick
import Qt5Compat.GraphicalEffects
import Tolvane

// The loaded track's artwork, cross-faded: a new picture fades in over 0.8 s
// above the old one, which goes 0.8 s after the change. With no artwork the
// area stays clear. Pixelated (and drawn without smoothing) when the setting
// is on.
Item {
    id: artwork

    required property var viewModel
    // Framed: fitted into the area, rounded, with a shadow. Otherwise it
    // fills the area, cropped.
    property bool isFramed: true
    // The pixel width asked of the image provider; a power of two, so that
    // resizing the window does not reload the picture at every step.
    property int pixelWidth: {
        const wanted = Math.max(64, Math.min(2048, Math.max(artwork.width, artwork.height)))
        return Math.pow(2, Math.ceil(Math.log(wanted) / Math.LN2))
    }
    readonly property bool isPixelated: AppSettings.isArtworkPixelated
    property int serial: 0
    property int front: 0
    readonly property bool hasArtwork: layers.count === 2
        && layers.itemAt(artwork.front).status === Image.Ready

    function sourceFor(serialNumber) {
        return "image://artwork/current/" + serialNumber + "?px=" + (artwork.isPixelated ? 1 : 0)
    }

    // A new picture goes to the layer behind and comes forward once loaded.
    function load() {
        const back = layers.itemAt(1 - artwork.front)
        if (retire.target === back)
            retire.stop()
        back.opacity = 0
        back.source = artwork.sourceFor(artwork.serial)
    }

    Connections {
        target: artwork.viewModel

        function onCurrentArtworkChanged() {
            artwork.serial += 1
            artwork.load()
        }
    }

    // Same picture, other drawing: it changes in place, without a fade.
    onIsPixelatedChanged: {
        const layer = layers.itemAt(artwork.front)
        if (layer && layer.status === Image.Ready)
            layer.source = artwork.sourceFor(artwork.serial)
    }

    Repeater {
        id: layers

        model: 2
        onItemAdded: index => {
            if (index === 1)
                artwork.load()
        }

        Item {
            id: layer

            property alias source: picture.source
            readonly property alias status: picture.status
            readonly property real ratio: picture.implicitHeight > 0
                ? picture.implicitWidth / picture.implicitHeight : 1

            anchors.fill: parent
            opacity: 0
            visible: opacity > 0
            z: index === artwork.front ? 1 : 0

            Image {
                id: picture

                anchors.centerIn: parent
                width: artwork.isFramed ? Math.min(layer.width, layer.height * layer.ratio) : layer.width
                height: artwork.isFramed ? picture.width / layer.ratio : layer.height
                asynchronous: true
                cache: false
                fillMode: artwork.isFramed ? Image.Stretch : Image.PreserveAspectCrop
                sourceSize.width: artwork.pixelWidth
                smooth: !artwork.isPixelated
                mipmap: !artwork.isPixelated
                visible: !artwork.isFramed

                onStatusChanged: {
                    if (index === artwork.front || picture.source == "")
                        return
                    if (picture.status !== Image.Ready && picture.status !== Image.Error)
                        return
                    retire.target = layers.itemAt(artwork.front)
                    artwork.front = index
                    layer.opacity = 0
                    if (picture.status === Image.Ready)
                        fadeIn.restart()
                    retire.restart()
                }
            }

            Rectangle {
                id: roundMask

                anchors.fill: picture
                radius: 12
                visible: false
            }

            OpacityMask {
                id: rounded

                anchors.fill: picture
                source: picture
                maskSource: roundMask
                visible: false
            }

            DropShadow {
                anchors.fill: picture
                visible: artwork.isFramed
                source: rounded
                radius: 10
                samples: 21
                color: Qt.rgba(0, 0, 0, 0.33)
                transparentBorder: true
            }

            NumberAnimation {
                id: fadeIn

                target: layer
                property: "opacity"
                to: 1
                duration: 800
                easing.type: Easing.InOutQuad
            }
        }
    }

    // The old picture goes 0.8 s after the new one came (or the artwork went).
    Timer {
        id: retire

        property Item target

        interval: 800
        onTriggered: {
            if (retire.target && retire.target !== layers.itemAt(artwork.front)) {
                retire.target.opacity = 0
                retire.target.source = ""
            }
        }
    }
}
