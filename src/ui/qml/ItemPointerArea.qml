import QtQuick

// The gestures of a library item: single click (held back for the double
// click's interval, so a double click does only its own action), double
// click, hover, drag out with the item's address as plain text, and the
// context menu on the right button.
MouseArea {
    id: area

    required property string itemId
    property bool doubleClickEnabled: true

    signal clickedOnce()
    signal clickedTwice()
    signal contextMenuRequested()

    hoverEnabled: true
    acceptedButtons: Qt.LeftButton | Qt.RightButton
    drag.target: dragProxy
    drag.threshold: 6

    onPressed: mouse => {
        if (mouse.button === Qt.RightButton)
            area.contextMenuRequested()
    }
    onClicked: mouse => {
        if (mouse.button !== Qt.LeftButton)
            return
        if (!area.doubleClickEnabled)
            area.clickedOnce()
        else if (!clickTimer.running)
            clickTimer.restart()
    }
    onDoubleClicked: mouse => {
        if (mouse.button !== Qt.LeftButton || !area.doubleClickEnabled)
            return
        clickTimer.stop()
        area.clickedTwice()
    }

    Timer {
        id: clickTimer

        interval: Qt.styleHints.mouseDoubleClickInterval
        onTriggered: area.clickedOnce()
    }

    // What the system drag carries; it stays where it is, only the drag moves.
    Item {
        id: dragProxy

        width: 1
        height: 1
        Drag.active: area.drag.active
        Drag.dragType: Drag.Automatic
        Drag.supportedActions: Qt.CopyAction
        Drag.mimeData: {"text/plain": area.itemId}
        Drag.onDragFinished: {
            dragProxy.x = 0
            dragProxy.y = 0
        }
    }
}
