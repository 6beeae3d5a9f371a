import QtQuick

// The picture behind `source`, fitted into the item keeping its aspect ratio.
// A new picture fades in over the old one, which fades out; a source without
// a picture (the provider's error) fades the old one out. Two layers take
// turns: the one on top stays until the other has finished loading.
Item {
    id: fade

    property url source
    property bool pixelated: false
    // The size the provider scales to: the height only, so the aspect stays.
    property real sourceHeight: fade.height
    property int duration: 800

    // Whether a picture is shown (or fading in).
    property bool ready: false
    readonly property real paintedWidth: fade.front ? fade.front.paintedWidth : 0
    readonly property real paintedHeight: fade.front ? fade.front.paintedHeight : 0

    property Image front: null
    property Image pending: null

    function load() {
        const back = fade.front === first ? second : first
        fade.pending = back
        if (String(back.source) === String(fade.source))
            fade.settle(back)
        else
            back.source = fade.source
    }

    function settle(layer) {
        if (layer.status === Image.Loading || layer.status === Image.Null)
            return
        if (layer === fade.pending) {
            fade.pending = null
            fade.front = layer
        } else if (layer !== fade.front) {
            return
        }
        fade.ready = layer.status === Image.Ready
    }

    onSourceChanged: fade.load()
    Component.onCompleted: fade.load()

    Image {
        id: first

        anchors.fill: parent
        fillMode: Image.PreserveAspectFit
        asynchronous: true
        smooth: !fade.pixelated
        mipmap: !fade.pixelated
        sourceSize: Qt.size(0, Math.max(0, Math.round(fade.sourceHeight)))
        opacity: fade.front === first && first.status === Image.Ready ? 1 : 0
        onStatusChanged: fade.settle(first)

        Behavior on opacity {
            NumberAnimation {
                duration: fade.duration
                easing.type: Easing.InOutQuad
            }
        }
    }

    Image {
        id: second

        anchors.fill: parent
        fillMode: Image.PreserveAspectFit
        asynchronous: true
        smooth: !fade.pixelated
        mipmap: !fade.pixelated
        sourceSize: Qt.size(0, Math.max(0, Math.round(fade.sourceHeight)))
        opacity: fade.front === second && second.status === Image.Ready ? 1 : 0
        onStatusChanged: fade.settle(second)

        Behavior on opacity {
            NumberAnimation {
                duration: fade.duration
                easing.type: Easing.InOutQuad
            }
        }
    }
}
