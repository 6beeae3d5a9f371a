import QtQuick
import QtQuick.Window
import Tolvane

// Shows the full-screen artwork in one frameless window on the primary screen
// while the view model asks for it: asking again brings that window to the
// front, clearing the flag closes it, and a window closed some other way
// clears the flag. Without a screen nothing is shown.
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

    Component.onCompleted: {
        if (manager.viewModel.isFullscreenArtwork)
            manager.show()
    }

    function show() {
        if (!manager.window) {
            const screens = Qt.application.screens
            if (!screens.length)
                return
            // The first screen is the primary one; the window covers all of it,
            // also where no window manager applies the full-screen state.
            const primary = screens[0]
            manager.window = component.createObject(null, {
                "viewModel": manager.viewModel,
                "screen": primary,
                "x": primary.virtualX,
                "y": primary.virtualY,
                "width": primary.width,
                "height": primary.height
            })
            manager.window.showFullScreen()
        }
        manager.window.raise()
        manager.window.requestActivate()
    }

    function close() {
        if (!manager.window)
            return
        const closing = manager.window
        manager.window = null
        closing.destroy()
    }

    property Component component: Component {
        Window {
            id: artworkWindow

            required property var viewModel

            title: qsTr("Fullscreen Artwork")
            color: "black"
            flags: Qt.Window | Qt.FramelessWindowHint

            // Closed by the window manager or a close key: the flag follows.
            onClosing: {
                if (!artworkWindow.viewModel.isFullscreenArtwork)
                    return
                artworkWindow.viewModel.isFullscreenArtwork = false
                artworkWindow.viewModel.updateSleepPrevention()
            }

            // The main window's keys do not reach this window: the playback
            // keys the artwork view lets through are served here.
            FocusScope {
                anchors.fill: parent
                focus: true

                Keys.onPressed: event => {
                    const plain = event.modifiers === Qt.NoModifier
                                  || event.modifiers === Qt.KeypadModifier
                    const model = artworkWindow.viewModel
                    event.accepted = plain
                    if (!plain)
                        return
                    if (event.key === Qt.Key_Space) {
                        model.togglePlayPause()
                    } else if (event.key === Qt.Key_Left) {
                        model.previousTrack()
                    } else if (event.key === Qt.Key_Right) {
                        model.nextTrack()
                    } else if (event.key === Qt.Key_F) {
                        model.isFullscreenArtwork = false
                        model.updateSleepPrevention()
                    } else {
                        event.accepted = false
                    }
                }

                FullScreenArtworkView {
                    anchors.fill: parent
                    viewModel: artworkWindow.viewModel
                }
            }
        }
    }
}
