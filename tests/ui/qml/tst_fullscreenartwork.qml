import QtQuick
import QtQuick.Window
import QtTest
import Tolvane

// The full-screen artwork: its one window, its keys, the hidden pointer, the
// placeholder and the OLED care drift.
TestCase {
    id: testCase

    name: "FullscreenArtwork"
    when: windowShown

    property var vm
    property var manager: null

    Component {
        id: managerComponent
        FullscreenArtworkManager {}
    }

    Component {
        id: keyTrap

        // Records the keys the view lets through.
        FocusScope {
            id: trap

            property var passed: []
            property alias view: artwork

            width: 400
            height: 300
            Keys.onPressed: event => trap.passed.push(event.key)

            FullScreenArtworkView {
                id: artwork
                anchors.fill: parent
                viewModel: testCase.vm
            }
        }
    }

    function init() {
        vm = testBench.newViewModel()
    }

    function openManager() {
        manager = createTemporaryObject(managerComponent, testCase, {"viewModel": vm})
    }

    function cleanup() {
        vm.isFullscreenArtwork = false
        manager = null
    }

    function test_escapeClosesAndIsConsumedOtherKeysPassOn() {
        vm.isFullscreenArtwork = true
        const trap = createTemporaryObject(keyTrap, testCase)
        trap.view.forceActiveFocus()
        keyClick(Qt.Key_Space)
        keyClick(Qt.Key_L)
        compare(trap.passed, [Qt.Key_Space, Qt.Key_L])
        verify(vm.isFullscreenArtwork)
        keyClick(Qt.Key_Escape)
        verify(!vm.isFullscreenArtwork)
        compare(trap.passed.length, 2)
    }

    function test_oneWindowThatFollowsTheFlag() {
        openManager()
        vm.isFullscreenArtwork = true
        const first = manager.window
        verify(first)
        tryCompare(first, "visibility", Window.FullScreen)

        vm.isFullscreenArtwork = true // asked again: the same window
        compare(manager.window, first)
        vm.isFullscreenArtwork = false
        compare(manager.window, null)

        vm.isFullscreenArtwork = true // Escape in the window itself
        verify(testBench.sendKey(manager.window, Qt.Key_Escape))
        compare(vm.isFullscreenArtwork, false)
        compare(manager.window, null)

        vm.isFullscreenArtwork = true // closed from outside: the flag follows
        manager.window.close()
        compare(vm.isFullscreenArtwork, false)
        compare(manager.window, null)
    }

    function test_pointerHiddenOverTheViewAndBackWhenItCloses() {
        openManager()
        vm.isFullscreenArtwork = true
        const window = manager.window
        verify(waitForRendering(window.contentItem))
        mouseMove(window.contentItem, 100, 100)
        tryVerify(() => testBench.overrideCursorShape() === Qt.BlankCursor, 2000, "hidden")
        vm.isFullscreenArtwork = false
        tryVerify(() => testBench.overrideCursorShape() === -1, 2000, "shown again")
    }

    function test_placeholderWithoutArtworkThenDriftInOLEDCare() {
        vm.isOLEDCareMode = true
        const trap = createTemporaryObject(keyTrap, testCase)
        const placeholder = findChild(trap.view, "placeholder")
        const bouncing = findChild(trap.view, "bouncingLoader")
        tryCompare(placeholder, "opacity", 0.3, 3000)
        verify(!bouncing.active)

        const root = testBench.makeLibrary(["A/folder.jpg", "A/a.wav"])
        vm.openFolder(testBench.fileUrl(root))
        tryVerify(() => !!vm.rootFolder, 5000)
        verify(vm.playItemByID(testBench.fileUrl(root + "/A/a.wav").toString()))
        tryVerify(() => bouncing.active, 5000, "drifting artwork")
        tryCompare(placeholder, "opacity", 0, 3000)
        const drifting = findChild(bouncing.item, "driftingArtwork")
        compare(drifting.scale, 0.5)
        tryVerify(() => drifting.ready, 5000)

        vm.isOLEDCareMode = false // fades out, then goes and saves its drift
        tryVerify(() => !bouncing.active, 3000)
        verify(testBench.setting("OLEDLastVX") !== undefined)
    }
}
