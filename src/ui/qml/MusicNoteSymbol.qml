import QtQuick
import QtQuick.Shapes

// A single music note filling the item, in `color`: the sign for "no
// artwork". Drawn as a shape, so it stays sharp at any size.
Item {
    id: symbol

    property color color: "gray"

    Shape {
        width: 100
        height: 100
        scale: Math.min(symbol.width, symbol.height) / 100
        anchors.centerIn: parent
        // Smooth edges on the OpenGL path too.
        layer.enabled: true
        layer.samples: 4
        layer.smooth: true

        ShapePath {
            fillColor: symbol.color
            strokeWidth: -1
            PathSvg {
                path: "M 58 8 L 66 8 C 68 22 88 28 88 48 C 88 56 84 62 79 67 " +
                      "C 81 60 82 54 80 48 C 78 40 71 36 66 34 L 66 78 " +
                      "C 66 90 54 96 42 96 C 31 96 25 90 25 84 C 25 72 37 64 49 64 " +
                      "C 52 64 55 65 58 66 Z"
            }
        }
    }
}
