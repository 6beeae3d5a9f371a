import QtQuick
import Tolvane

// OLED care: the artwork at half size drifting slowly over the area and
// bouncing off its edges, moved once per displayed frame. It continues from
// where the last one stopped and saves where it stops.
Item {
    id: view

    property url source
    property bool pixelated: false
    property int padding: 50

    BouncingArtworkPhysics {
        id: physics

        containerSize: Qt.size(view.width, view.height)
        // The box the artwork would fill at full size, margin included.
        imageSize: artwork.ready ? Qt.size(artwork.paintedWidth + 2 * view.padding,
                                           artwork.paintedHeight + 2 * view.padding)
                                 : Qt.size(0, 0)
    }

    ArtworkCrossFade {
        id: artwork

        objectName: "driftingArtwork"
        width: Math.max(0, view.width - 2 * view.padding)
        height: Math.max(0, view.height - 2 * view.padding)
        x: view.padding + physics.position.x
        y: view.padding + physics.position.y
        scale: 0.5
        sourceHeight: artwork.height / 2
        source: view.source
        pixelated: view.pixelated
    }

    FrameAnimation {
        id: frames

        running: true
        onTriggered: physics.step(frames.elapsedTime)
    }

    Component.onCompleted: physics.appear(frames.elapsedTime)
    Component.onDestruction: physics.disappear()
}
