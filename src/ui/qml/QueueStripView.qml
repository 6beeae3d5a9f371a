import QtQuick
import Qt5Compat.GraphicalEffects
import Tolvane

// The folders still to come, one tile each, the next one at the right edge.
// Tiles are dragged to reorder whole folders; library items dragged from the
// sidebar or the file list are dropped between tiles (where a gap opens) or
// on the free part of the strip (to the end of the queue, or into the open
// gap).
DropArea {
    id: strip

    required property var viewModel
    readonly property alias groups: groups
    readonly property alias controller: controller

    implicitHeight: 52
    keys: ["text/plain"]

    QueueStripModel {
        id: groups

        viewModel: strip.viewModel
    }

    QueueDragController {
        id: controller

        strip: groups
        onInsertRequested: (ids, group) => strip.viewModel.insertItems(ids, group)
        onMoveRequested: (offsets, destination) => strip.viewModel.moveFolderGroups(offsets, destination)
        onAppendRequested: id => strip.viewModel.addToQueueByID(id)
    }

    function finishDrop(drop, accepted) {
        if (accepted)
            drop.accept(controller.proposedAction())
        else
            drop.accepted = false
    }

    // A drop on a tile or on one of its gap markers.
    function dropOn(itemId, drop) {
        strip.finishDrop(drop, controller.dropOnTile(itemId, groups.ids(), drop.hasText ? drop.text : ""))
    }

    onPositionChanged: drag => drag.accept(controller.proposedAction())
    onDropped: drop => strip.finishDrop(drop, controller.dropOnBackground(drop.hasText ? drop.text : ""))

    // The left 8 % of the strip fades out.
    Rectangle {
        id: fadeMask

        anchors.fill: parent
        visible: false
        gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: "transparent" }
            GradientStop { position: 0.08; color: "white" }
            GradientStop { position: 1; color: "white" }
        }
    }

    Item {
        id: fading

        anchors.fill: parent
        layer.enabled: true
        layer.effect: OpacityMask {
            maskSource: fadeMask
        }

        ListView {
            id: list

            anchors.fill: parent
            anchors.topMargin: 4
            anchors.bottomMargin: 4
            orientation: ListView.Horizontal
            layoutDirection: Qt.RightToLeft
            boundsBehavior: Flickable.StopAtBounds
            interactive: list.contentWidth > list.width
            model: groups

            add: Transition {
                NumberAnimation { property: "opacity"; from: 0; to: 1; duration: 250 }
            }
            remove: Transition {
                NumberAnimation { property: "opacity"; to: 0; duration: 200 }
            }
            displaced: Transition {
                NumberAnimation { property: "x"; duration: 250; easing.type: Easing.OutCubic }
            }
            move: Transition {
                NumberAnimation { property: "x"; duration: 250; easing.type: Easing.OutCubic }
            }

            delegate: Item {
                id: entry

                required property int index
                required property string itemId
                required property string name
                required property string folderId

                readonly property bool isDragged: controller.draggedId === entry.itemId
                readonly property bool hasGap: controller.gapId === entry.itemId
                readonly property bool isLast: entry.index === groups.count - 1
                // On screen from the right: right gap marker, tile, left gap
                // marker, then the space before the next tile.
                readonly property real spacing: entry.isLast || (entry.isDragged && !entry.hasGap) ? 0 : 12

                width: row.implicitWidth
                height: 44

                Row {
                    id: row

                    layoutDirection: Qt.LeftToRight

                    Item {
                        width: entry.spacing
                        height: 44
                    }

                    GapMarker {
                        owner: strip
                        itemId: entry.itemId
                        isOpen: entry.hasGap && controller.gapIsLeft && !entry.isDragged
                    }

                    Item {
                        id: tileBox

                        width: 44
                        height: 44
                        clip: true

                        states: State {
                            name: "dragged"
                            when: entry.isDragged
                            PropertyChanges {
                                target: tileBox
                                width: 0.001
                                opacity: 0
                            }
                        }
                        transitions: Transition {
                            from: "dragged"
                            to: ""
                            NumberAnimation {
                                properties: "width,opacity"
                                duration: 200
                                easing.type: Easing.OutQuad
                            }
                        }

                        QueueTileView {
                            id: tile

                            width: 44
                            height: 44
                            folderId: entry.folderId
                            name: entry.name
                        }

                        // A tile is dragged as its entry's address; the proxy
                        // stays in place, only the system drag moves.
                        MouseArea {
                            id: tileArea

                            anchors.fill: parent
                            drag.target: dragProxy
                            drag.threshold: 6
                        }

                        Item {
                            id: dragProxy

                            width: 1
                            height: 1
                            Drag.active: tileArea.drag.active
                            Drag.dragType: Drag.Automatic
                            Drag.supportedActions: Qt.MoveAction | Qt.CopyAction
                            Drag.mimeData: {"text/plain": entry.itemId}
                            Drag.onDragStarted: controller.startDrag(entry.itemId)
                            Drag.onDragFinished: dropAction => {
                                dragProxy.x = 0
                                dragProxy.y = 0
                                if (dropAction === Qt.IgnoreAction)
                                    controller.dragCancelled()
                            }
                        }

                        DropArea {
                            anchors.fill: parent
                            keys: ["text/plain"]
                            onPositionChanged: drag => drag.accept(controller.hoverTile(entry.itemId, drag.x))
                            onDropped: drop => strip.dropOn(entry.itemId, drop)
                        }
                    }

                    GapMarker {
                        owner: strip
                        itemId: entry.itemId
                        isOpen: entry.hasGap && !controller.gapIsLeft && !entry.isDragged
                    }
                }
            }
        }
    }

    // The 50-point space where dropped items will go, beside a tile.
    component GapMarker: Item {
        id: marker

        required property var owner
        required property string itemId
        property bool isOpen: false

        width: marker.isOpen ? 50 : 0.001
        height: 44

        Behavior on width {
            NumberAnimation { duration: 300; easing.type: Easing.OutBack; easing.overshoot: 0.8 }
        }

        DropArea {
            anchors.fill: parent
            keys: ["text/plain"]
            onPositionChanged: drag => drag.accept(marker.owner.controller.proposedAction())
            onDropped: drop => marker.owner.dropOn(marker.itemId, drop)
        }
    }
}
