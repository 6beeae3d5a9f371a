import QtQuick
import QtQuick.Controls

// Volume and audio output, floating over the player panel.
Row {
    id: toolbar

    required property var viewModel

    spacing: 8
}
