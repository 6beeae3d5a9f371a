import QtQuick
import QtQuick.Window

// Opens one frameless full-screen artwork window while the view model asks
// for it, and closes it when it no longer does.
QtObject {
    id: manager

    required property var viewModel

    property Window window: null

    property Connections watcher: Connections {
        target: manager.viewModel

        function onIsFullscreenArtworkChanged() {
            if (manager.viewModel.isFullscreenArtwork)
                manager.show()
            else
                manager.close()
        }
    }

    function show() {
        if (manager.window) {
            manager.window.raise()
            manager.window.requestActivate()
            return
        }
        if (!Qt.application.screens.length)
            return
        manager.window = component.createObject(null, {"viewModel": manager.viewModel})
        manager.window.showFullScreen()
    }

    function close() {
        if (!manager.window)
            return
        manager.window.close()
        manager.window.destroy()
        manager.window = null
    }

    property Component component: Component {
        Window {
            required property var viewModel

            color: "black"
            flags: Qt.FramelessWindowHint
        }
    }
}
