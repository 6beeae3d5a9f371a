import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tolvane

// Volume and audio output, floating over the player panel.
RowLayout {
    id: toolbar

    required property var viewModel
    readonly property alias volumeSlider: volumeSlider
    readonly property alias outputs: outputs

    spacing: 8

    Item {
        Layout.preferredWidth: 8
    }

    Image {
        Layout.preferredWidth: 14
        Layout.preferredHeight: 14
        source: Theme.iconSource("audio-volume-high")
        sourceSize: Qt.size(28, 28)
        opacity: 0.55
    }

    Slider {
        id: volumeSlider

        Layout.preferredWidth: 100
        from: 0
        to: 1
        value: toolbar.viewModel.volume
        padding: 0
        onMoved: toolbar.viewModel.volume = volumeSlider.value
    }

    // The audio outputs; the one playing is checked.
    ToolButton {
        id: outputButton

        Layout.preferredWidth: 30
        Layout.preferredHeight: 30
        icon.name: "audio-speakers"
        icon.source: Theme.iconSource("audio-speakers")
        icon.width: 16
        icon.height: 16
        icon.color: Theme.primary
        ToolTip.visible: outputButton.hovered && !outputMenu.visible
        ToolTip.delay: 600
        ToolTip.text: "Audio Output"
        onClicked: outputMenu.open()

        Menu {
            id: outputMenu

            y: outputButton.height

            Instantiator {
                model: OutputDeviceModel {
                    id: outputs
                }
                delegate: MenuItem {
                    required property int index
                    required property string description
                    required property bool isCurrent
                    required property bool isChoosable

                    text: description
                    checkable: true
                    checked: isCurrent
                    enabled: isChoosable || isCurrent
                    onTriggered: outputs.choose(index)
                }
                onObjectAdded: (index, object) => outputMenu.insertItem(index, object)
                onObjectRemoved: (index, object) => outputMenu.removeItem(object)
            }
        }
    }
}
