import QtQuick
import Tolvane

// The current track's artwork alone on a plain background, filling its window:
// fitted with a margin, or, in OLED care mode, at half size drifting over black
// (BouncingArtworkView). Without artwork a gray note shows instead. Changes
// cross-fade. Escape leaves; other keys go on to the items around it. The
// pointer is hidden while it is over the view.
Item {
    id: view

    required property var viewModel

    readonly property int padding: 50
    readonly property bool isOLEDCareMode: view.viewModel.isOLEDCareMode
    readonly property bool hasArtwork: still.ready
    // A new address whenever the current artwork changes, so it is loaded again.
    property int artworkSerial: 0
    readonly property string artworkSource: "image://artwork/current/" + view.artworkSerial
                                             + "?px=" + (AppSettings.isArtworkPixelated ? 1 : 0)

    focus: true

    Keys.onPressed: event => {
        if (event.key !== Qt.Key_Escape) {
            event.accepted = false
            return
        }
        event.accepted = true
        view.viewModel.isFullscreenArtwork = false
        view.viewModel.updateSleepPrevention()
    }

    Connections {
        target: view.viewModel

        function onCurrentArtworkChanged() {
            view.artworkSerial++
        }
    }

    Rectangle {
        objectName: "background"
        anchors.fill: parent
        color: view.isOLEDCareMode || Theme.isDark ? "black" : "white"
    }

    MusicNoteSymbol {
        objectName: "placeholder"
        anchors.centerIn: parent
        width: 200
        height: 200
        color: "gray"
        opacity: view.hasArtwork ? 0 : 0.3

        Behavior on opacity {
            NumberAnimation {
                duration: 800
                easing.type: Easing.InOutQuad
            }
        }
    }

    // Also decides whether there is artwork at all, so it loads in both modes.
    ArtworkCrossFade {
        id: still

        objectName: "still"
        anchors.fill: parent
        anchors.margins: view.padding
        source: view.artworkSource
        pixelated: AppSettings.isArtworkPixelated
        opacity: view.isOLEDCareMode ? 0 : 1

        Behavior on opacity {
            NumberAnimation {
                duration: 800
                easing.type: Easing.InOutQuad
            }
        }
    }

    Item {
        id: drifting

        readonly property bool wanted: view.hasArtwork && view.isOLEDCareMode

        anchors.fill: parent
        opacity: drifting.wanted ? 1 : 0

        Behavior on opacity {
            NumberAnimation {
                duration: 800
                easing.type: Easing.InOutQuad
            }
        }

        // Kept while it fades out; it saves its drift when it goes.
        Loader {
            objectName: "bouncingLoader"
            anchors.fill: parent
            active: drifting.wanted || drifting.opacity > 0

            sourceComponent: BouncingArtworkView {
                source: view.artworkSource
                pixelated: AppSettings.isArtworkPixelated
                padding: view.padding
            }
        }
    }

    HoverHandler {
        id: hover
    }

    CursorHider {
        hidden: hover.hovered && view.visible
    }
}
