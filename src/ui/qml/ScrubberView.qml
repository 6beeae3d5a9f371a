import QtQuick
import Tolvane

// The seek bar: the track's waveform with the played part in the accent
// colour (a thin line while there is no waveform). A drag or click moves the
// time with the pointer and seeks where it ends.
Item {
    id: scrubber

    required property var viewModel
    readonly property var progress: scrubber.viewModel.progress
    readonly property var samples: scrubber.viewModel.waveformSamples
    readonly property bool hasWaveform: scrubber.samples.length > 0
    // The time the full width stands for: at least one second.
    readonly property real span: Math.max(scrubber.progress.duration, 1)
    // Whole pixels: the twenty time updates a second redraw the window only
    // when the played part visibly grows.
    readonly property real playedWidth: Math.round(Math.max(0, Math.min(scrubber.width,
        scrubber.progress.currentTime / scrubber.span * scrubber.width)))

    implicitHeight: 30

    Rectangle {
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width
        height: 2
        visible: !scrubber.hasWaveform
        color: Theme.secondary
        opacity: 0.2
    }

    WaveformView {
        anchors.fill: parent
        visible: scrubber.hasWaveform
        samples: scrubber.samples
        color: Theme.secondary
        opacity: 0.3
    }

    // The played part: the same envelope cut at the played width, so that
    // playback moves a clip edge and repaints no waveform.
    Item {
        width: scrubber.playedWidth
        height: parent.height
        clip: true
        visible: scrubber.hasWaveform

        WaveformView {
            width: scrubber.width
            height: scrubber.height
            samples: scrubber.samples
            color: Theme.accent
        }
    }

    ScrubberGesture {
        id: gesture

        progress: scrubber.progress
        onSeekRequested: seconds => scrubber.viewModel.seek(seconds)
    }

    MouseArea {
        anchors.fill: parent
        preventStealing: true
        onPressed: mouse => gesture.moveTo(mouse.x, width)
        onPositionChanged: mouse => gesture.moveTo(mouse.x, width)
        onReleased: mouse => gesture.finishAt(mouse.x, width)
    }
}
