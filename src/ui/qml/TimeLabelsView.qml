import QtQuick
import QtQuick.Layouts
import QtQuick.Controls
import Tolvane

// Elapsed time on the left, the track's length on the right.
RowLayout {
    id: labels

    required property var progress

    Label {
        text: PlaybackTime.format(labels.progress.currentTime)
        font.pointSize: Math.round(Qt.application.font.pointSize * 0.85)
        color: Theme.secondary
    }

    Item {
        Layout.fillWidth: true
    }

    Label {
        text: PlaybackTime.format(labels.progress.duration)
        font.pointSize: Math.round(Qt.application.font.pointSize * 0.85)
        color: Theme.secondary
    }
}
