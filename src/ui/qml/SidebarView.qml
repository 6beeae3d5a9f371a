import QtQuick
import QtQuick.Controls
import QtQuick.Controls.impl
import QtQuick.Layouts
import Tolvane

// The library column: the search field and "Sync Folder" above the title
// "Library" and the folders as an indented tree or a grid of covers.
Pane {
    id: sidebar

    required property var viewModel
    readonly property bool hasLibrary: !!sidebar.viewModel.rootFolder
    property alias searchText: searchField.text

    padding: 0

    SidebarEntryModel {
        id: entryModel

        viewModel: sidebar.viewModel
        searchText: searchField.text
        gridMode: AppSettings.useGridSidebar
        largeArtwork: AppSettings.useLargeArtwork
    }

    // Ctrl+F goes to the search field.
    Shortcut {
        sequences: [StandardKey.Find]
        onActivated: searchField.forceActiveFocus()
    }

    ItemContextMenu {
        id: contextMenu

        viewModel: sidebar.viewModel
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.margins: 10
            spacing: 8

            // The search field: a capsule with a magnifying glass and, while
            // there is text, a clear button.
            Rectangle {
                Layout.fillWidth: true
                Layout.minimumWidth: 100
                Layout.preferredWidth: 140
                Layout.maximumWidth: 200
                implicitHeight: searchField.implicitHeight + 10
                radius: height / 2
                color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.1)

                RowLayout {
                    anchors.fill: parent
                    anchors.leftMargin: 10
                    anchors.rightMargin: 6
                    spacing: 4

                    IconImage {
                        Layout.preferredWidth: 14
                        Layout.preferredHeight: 14
                        source: Theme.iconSource("edit-find")
                        sourceSize: Qt.size(14, 14)
                        color: Theme.secondary
                    }
                    TextField {
                        id: searchField

                        objectName: "searchField"
                        Layout.fillWidth: true
                        placeholderText: qsTr("Search...")
                        background: null
                        leftPadding: 2
                        rightPadding: 2
                        topPadding: 0
                        bottomPadding: 0
                        selectByMouse: true
                        Keys.onEscapePressed: searchField.clear()
                    }
                    ToolButton {
                        objectName: "clearSearchButton"
                        Layout.preferredWidth: 20
                        Layout.preferredHeight: 20
                        visible: searchField.text !== ""
                        padding: 2
                        focusPolicy: Qt.NoFocus
                        flat: true
                        background: null
                        icon.name: "edit-clear"
                        icon.source: Theme.iconSource("edit-clear")
                        icon.color: Theme.secondary
                        icon.width: 14
                        icon.height: 14
                        onClicked: searchField.clear()
                    }
                }
            }

            Item {
                Layout.fillWidth: true
            }

            // Pulses in the accent colour until a library is loaded.
            ToolButton {
                id: syncButton

                objectName: "syncFolderButton"
                property real pulse: 0

                text: qsTr("Sync Folder")
                display: AbstractButton.TextBesideIcon
                focusPolicy: Qt.NoFocus
                icon.name: "folder-new"
                icon.source: Theme.iconSource("folder-new")
                icon.color: sidebar.hasLibrary ? Theme.primary : Theme.accent
                palette.buttonText: sidebar.hasLibrary ? Theme.primary : Theme.accent
                scale: sidebar.hasLibrary ? 1.0 : 1.0 + 0.1 * syncButton.pulse
                opacity: sidebar.hasLibrary ? 1.0 : 0.7 + 0.3 * syncButton.pulse
                onClicked: sidebar.viewModel.requestFolderAccess()

                SequentialAnimation on pulse {
                    running: !sidebar.hasLibrary
                    loops: Animation.Infinite

                    NumberAnimation {
                        from: 0
                        to: 1
                        duration: 1000
                        easing.type: Easing.InOutQuad
                    }
                    NumberAnimation {
                        from: 1
                        to: 0
                        duration: 1000
                        easing.type: Easing.InOutQuad
                    }
                }
            }
        }

        Label {
            Layout.fillWidth: true
            leftPadding: 12
            bottomPadding: 6
            text: qsTr("Library")
            font.pixelSize: 20
            font.bold: true
        }

        Loader {
            id: entryView

            Layout.fillWidth: true
            Layout.fillHeight: true
            sourceComponent: AppSettings.useGridSidebar ? gridComponent : treeComponent
        }
    }

    Component {
        id: treeComponent

        ListView {
            objectName: "sidebarTree"
            clip: true
            model: entryModel
            boundsBehavior: Flickable.StopAtBounds
            reuseItems: false
            ScrollBar.vertical: ScrollBar {}

            delegate: SidebarTreeRow {
                viewModel: sidebar.viewModel
                entries: entryModel
                onContextMenuRequested: itemId => contextMenu.openFor(itemId)
            }

            add: Transition {
                NumberAnimation {
                    property: "opacity"
                    from: 0
                    to: 1
                    duration: 250
                    easing.type: Easing.InOutQuad
                }
            }
            remove: Transition {
                NumberAnimation {
                    property: "opacity"
                    to: 0
                    duration: 200
                    easing.type: Easing.InOutQuad
                }
            }
            displaced: Transition {
                NumberAnimation {
                    property: "y"
                    duration: 250
                    easing.type: Easing.InOutQuad
                }
                NumberAnimation {
                    property: "opacity"
                    to: 1
                    duration: 250
                }
            }
        }
    }

    Component {
        id: gridComponent

        GridView {
            id: grid

            objectName: "sidebarGrid"
            readonly property real minimumColumn: AppSettings.useLargeArtwork ? 200 : 120
            readonly property real itemSpacing: 20
            readonly property real available: width - 2 * 16 + grid.itemSpacing
            readonly property int columns: Math.max(1, Math.floor(grid.available / (grid.minimumColumn + grid.itemSpacing)))
            readonly property real topArtwork: AppSettings.useLargeArtwork ? 200 : 120

            clip: true
            model: entryModel
            leftMargin: 16 - grid.itemSpacing / 2
            rightMargin: 16 - grid.itemSpacing / 2
            topMargin: 16
            bottomMargin: 16
            cellWidth: Math.floor(grid.available / grid.columns)
            // The tallest tile (top level, two lines of name) and the row spacing.
            cellHeight: grid.topArtwork + 20 + 6 + 2 * Math.ceil(Qt.application.font.pixelSize * 0.85 * 1.3) + grid.itemSpacing
            boundsBehavior: Flickable.StopAtBounds
            reuseItems: false
            ScrollBar.vertical: ScrollBar {}

            delegate: SidebarGridTile {
                viewModel: sidebar.viewModel
                entries: entryModel
                onContextMenuRequested: itemId => contextMenu.openFor(itemId)
            }

            add: Transition {
                NumberAnimation {
                    property: "opacity"
                    from: 0
                    to: 1
                    duration: 250
                    easing.type: Easing.InOutQuad
                }
            }
            remove: Transition {
                NumberAnimation {
                    property: "opacity"
                    to: 0
                    duration: 200
                    easing.type: Easing.InOutQuad
                }
            }
            displaced: Transition {
                NumberAnimation {
                    properties: "x,y"
                    duration: 250
                    easing.type: Easing.InOutQuad
                }
                NumberAnimation {
                    property: "opacity"
                    to: 1
                    duration: 250
                }
            }
        }
    }
}
