import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Qt5Compat.GraphicalEffects
import Tolvane

// The detail column: the file list (while shown) and the player: artwork,
// track information, scrubber, title, transport buttons and the queue strip,
// over a blurred copy of the artwork.
Item {
    id: player

    required property var viewModel
    property bool isTrackListVisible: true
    readonly property var progress: player.viewModel.progress
    readonly property bool hasFile: !!player.viewModel.selectedFile
    readonly property bool isPlaying: !!player.viewModel.player
        && player.viewModel.player.timeControlStatus === 2
    readonly property real basePointSize: Qt.application.font.pointSize
    readonly property alias queueStrip: queueStrip

    // The present fields of the loaded track, in order, on one line.
    readonly property string informationLine: [
        player.viewModel.currentTitle, player.viewModel.currentArtist,
        player.viewModel.currentYear, player.viewModel.currentFileType,
        player.viewModel.currentBitDepth, player.viewModel.currentSampleRate,
        player.viewModel.currentFilesize
    ].filter(field => !!field).join(" \u2022 ")

    // A library item dropped on the artwork plays now; anything else is refused.
    function playDropped(text) {
        return player.viewModel.playNowByID(text)
    }

    // The blurred artwork behind everything, under the window colour.
    Item {
        anchors.fill: parent
        clip: true

        CurrentArtworkView {
            id: backdrop

            anchors.fill: parent
            viewModel: player.viewModel
            isFramed: false
            pixelWidth: 256
            layer.enabled: true
            layer.effect: FastBlur {
                radius: 60
            }
        }

        Rectangle {
            anchors.fill: parent
            color: Theme.background
            opacity: 0.6
        }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        FileListView {
            visible: player.isTrackListVisible
            viewModel: player.viewModel
            // 320 wide; in a narrow window it gives up width first, down to
            // 160, so that the player keeps room for its controls.
            Layout.preferredWidth: Math.min(320, Math.max(160, player.width - 320))
            Layout.fillHeight: true
        }

        ColumnLayout {
            id: column

            Layout.fillWidth: true
            Layout.fillHeight: true
            Layout.minimumWidth: 0
            spacing: 0

            // The artwork; a library item dropped on it plays at once.
            Item {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.margins: 16
                Layout.topMargin: 48 // clear of the floating toolbar

                CurrentArtworkView {
                    anchors.fill: parent
                    viewModel: player.viewModel
                }

                DropArea {
                    anchors.fill: parent
                    keys: ["text/plain"]
                    onDropped: drop => {
                        if (drop.hasText && player.playDropped(drop.text))
                            drop.accept(Qt.CopyAction)
                        else
                            drop.accepted = false
                    }
                }
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.topMargin: 16
                spacing: 20

                ColumnLayout {
                    id: progressBlock

                    Layout.fillWidth: true
                    Layout.leftMargin: 30
                    Layout.rightMargin: 30
                    spacing: 5
                    enabled: player.hasFile
                    opacity: player.hasFile ? 1 : 0.5

                    Label {
                        id: information

                        Layout.fillWidth: true
                        visible: player.informationLine !== ""
                        text: player.informationLine
                        horizontalAlignment: Text.AlignHCenter
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        font.pointSize: Math.round(player.basePointSize * 0.85)
                        color: Theme.secondary
                    }

                    ScrubberView {
                        Layout.fillWidth: true
                        Layout.preferredHeight: 30
                        viewModel: player.viewModel
                    }

                    TimeLabelsView {
                        Layout.fillWidth: true
                        progress: player.progress
                    }
                }

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.leftMargin: 30
                    Layout.rightMargin: 30
                    spacing: 2

                    Label {
                        id: title

                        objectName: "titleLabel"
                        Layout.fillWidth: true
                        text: player.viewModel.currentTitle || "Unknown Title"
                        horizontalAlignment: Text.AlignHCenter
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        font.pointSize: Math.round(player.basePointSize * 1.55)
                        font.bold: true
                        color: Theme.primary
                    }

                    Label {
                        id: artist

                        objectName: "artistLabel"
                        Layout.fillWidth: true
                        text: player.viewModel.currentArtist || "Unknown Artist"
                        horizontalAlignment: Text.AlignHCenter
                        elide: Text.ElideRight
                        maximumLineCount: 1
                        font.pointSize: Math.round(player.basePointSize * 1.1)
                        font.weight: Font.DemiBold
                        color: Theme.secondary
                    }
                }

                RowLayout {
                    Layout.alignment: Qt.AlignHCenter
                    Layout.bottomMargin: 10
                    spacing: 30

                    TransportButton {
                        objectName: "previousButton"
                        iconName: "media-skip-backward"
                        size: 26
                        enabled: player.hasFile
                        onClicked: player.viewModel.previousTrack()
                    }

                    TransportButton {
                        objectName: "playPauseButton"
                        iconName: player.isPlaying ? "media-playback-pause" : "media-playback-start"
                        size: 64
                        enabled: player.hasFile
                        onClicked: player.viewModel.togglePlayPause()
                    }

                    TransportButton {
                        objectName: "nextButton"
                        iconName: "media-skip-forward"
                        size: 26
                        enabled: player.hasFile
                        onClicked: player.viewModel.nextTrack()
                    }
                }

                QueueStripView {
                    id: queueStrip

                    Layout.fillWidth: true
                    Layout.leftMargin: 30
                    Layout.rightMargin: 30
                    Layout.bottomMargin: 30
                    Layout.preferredHeight: implicitHeight
                    viewModel: player.viewModel
                }
            }
        }
    }

    // A plain button showing only its symbol; disabled without a loaded file.
    component TransportButton: ToolButton {
        id: button

        required property string iconName
        property int size: 24

        flat: true
        padding: 2
        icon.name: button.iconName
        icon.source: Theme.iconSource(button.iconName)
        icon.width: button.size
        icon.height: button.size
        icon.color: Theme.primary
        background: Item {}
        opacity: button.enabled ? (button.down ? 0.6 : 1) : 0.35
    }
}
