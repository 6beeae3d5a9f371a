pragma Singleton
import QtQuick

// Colours and icons shared by every view; they follow the desktop's palette,
// light or dark.
QtObject {
    id: theme

    // The desktop's colours changed (light to dark or back).
    signal changed

    readonly property SystemPalette palette: SystemPalette {
        colorGroup: SystemPalette.Active
        onPaletteChanged: theme.changed()
    }
    readonly property bool isDark: theme.palette.window.hslLightness < 0.5
    readonly property color accent: theme.palette.highlight
    readonly property color primary: theme.palette.windowText
    readonly property color secondary: Qt.rgba(theme.primary.r, theme.primary.g, theme.primary.b, 0.55)
    readonly property color background: theme.palette.window
    readonly property color base: theme.palette.base

    // The bundled picture of an icon, for desktops whose icon theme lacks it.
    function iconSource(name) {
        return "qrc:/qt/qml/Tolvane/qml/icons/" + name + ".svg"
    }

    // Gives a window's controls the desktop's colours: the controls style
    // keeps its own light palette otherwise.
    function paint(target) {
        const roles = ["window", "windowText", "base", "alternateBase", "text", "button",
                       "buttonText", "brightText", "highlight", "highlightedText", "light",
                       "midlight", "mid", "dark", "shadow", "placeholderText", "toolTipBase",
                       "toolTipText", "link"]
        for (const role of roles)
            target.palette[role] = theme.palette[role]
    }
}
