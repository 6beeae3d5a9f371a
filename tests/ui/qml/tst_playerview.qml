import QtQuick
import QtTest
import Tolvane

// The player panel against a real view model: its empty state, the track's
// texts, drops on the artwork and the queue strip's edits of the queue.
TestCase {
    id: testCase

    name: "PlayerView"
    when: windowShown
    width: 900
    height: 700

    property var vm
    property var view
    property string root

    Component {
        id: playerView
        PlayerView {
            width: 900
            height: 700
            isTrackListVisible: false
        }
    }

    function init() {
        vm = testBench.newViewModel()
        view = createTemporaryObject(playerView, testCase, {"viewModel": vm})
        root = testBench.makeLibrary(["A/a1.wav", "A/a2.wav", "B/b1.wav", "C/c1.wav", "D/d1.wav"])
        vm.openFolder(testBench.fileUrl(root))
        tryVerify(() => !!vm.rootFolder, 5000)
    }

    function id(path) {
        return testBench.fileUrl(root + "/" + path).toString()
    }

    function test_theLoadedTrackFillsThePanel() {
        for (const name of ["previousButton", "playPauseButton", "nextButton"])
            verify(!findChild(view, name).enabled, name)
        compare(view.informationLine, "")
        compare(view.queueStrip.groups.count, 0)
        compare(findChild(view, "titleLabel").text, "Unknown Title")
        compare(findChild(view, "artistLabel").text, "Unknown Artist")
        verify(vm.playItemByID(id("A/a1.wav")))
        tryVerify(() => view.informationLine.indexOf("a1.wav \u2022 Unknown Artist") === 0)
        compare(findChild(view, "titleLabel").text, "a1.wav")
        verify(findChild(view, "nextButton").enabled)
        verify(findChild(view, "playPauseButton").enabled)
    }

    function test_anItemDroppedOnTheArtworkPlays() {
        verify(!view.playDropped("file:///nowhere/x.wav"))
        verify(view.playDropped(id("C/c1.wav")))
        compare(vm.selectedFileID, id("C/c1.wav"))
        compare(vm.playbackQueue[vm.currentQueueIndex].id, id("C/c1.wav"))
    }

    function test_stripEditsTheQueue() {
        // Paused on A's first file, with B and C waiting.
        for (const folder of ["A", "B", "C"])
            verify(vm.addToQueueByID(id(folder)))
        vm.loadFile(testBench.item(id("A/a1.wav")), false)
        const strip = view.queueStrip
        const drag = strip.controller
        tryCompare(strip.groups, "count", 2)
        compare(strip.groups.ids(), [id("B/b1.wav"), id("C/c1.wav")])

        // B dragged to the left of C: after it.
        drag.startDrag(id("B/b1.wav"))
        drag.hoverTile(id("C/c1.wav"), 5)
        verify(drag.dropOnTile(id("C/c1.wav"), strip.groups.ids(), id("B/b1.wav")))
        tryVerify(() => strip.groups.ids()[0] === id("C/c1.wav"))
        compare(strip.groups.count, 2)
        tryCompare(drag, "state", QueueDragController.Idle)

        // D from the sidebar into the gap on the right of B: before B.
        drag.hoverTile(id("B/b1.wav"), 40)
        verify(drag.dropOnBackground(id("D")))
        tryCompare(strip.groups, "count", 3)
        compare(strip.groups.ids(), [id("C/c1.wav"), id("D/d1.wav"), id("B/b1.wav")])
        tryCompare(drag, "state", QueueDragController.Idle)
    }
}
