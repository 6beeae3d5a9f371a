import QtQuick
import QtQuick.Controls
import QtTest
import Tolvane

// The sidebar: clicks, double clicks, search and the "Sync Folder" button.
Item {
    width: 400
    height: 600

    Item {
        id: container

        anchors.fill: parent
    }

    TestCase {
        id: testCase

        name: "Sidebar"
        when: windowShown

        property var vm
        property var sidebar
        property string root

        Component {
            id: sidebarComponent
            SidebarView {
                width: 400
                height: 600
            }
        }

        function init() {
            vm = testBench.newViewModel()
            sidebar = createTemporaryObject(sidebarComponent, container, {"viewModel": vm})
            verify(sidebar)
        }

        function openLibrary() {
            root = testBench.makeLibrary(["Jazz/Cool/a.mp3", "Jazz/Hot/b.mp3", "Rock/c.mp3",
                                          "Rock/cover.jpg", "loose.mp3"])
            vm.openFolder(testBench.fileUrl(root))
            tryVerify(() => !!vm.rootFolder, 5000)
            const tree = findChild(sidebar, "sidebarTree")
            tryCompare(tree, "count", 3)
            return tree
        }

        function idOf(relative) {
            return testBench.fileUrl(root + "/" + relative).toString()
        }

        function rowFor(tree, name) {
            for (let i = 0; i < tree.count; ++i) {
                tree.positionViewAtIndex(i, ListView.Contain)
                const row = tree.itemAtIndex(i)
                if (row && row.name === name)
                    return row
            }
            return null
        }

        function test_clickSelectsAndExpandsAFolder() {
            const tree = openLibrary()
            mouseClick(rowFor(tree, "Jazz"))
            tryCompare(vm, "selectedFolderID", idOf("Jazz"))
            compare(vm.expandedFolderIDs, [idOf("Jazz")])
            tryCompare(tree, "count", 5)
            tryVerify(() => rowFor(tree, "Jazz").isSelected)
            verify(rowFor(tree, "Cool"))
            compare(rowFor(tree, "Cool").depth, 1)
        }

        function test_doubleClickPlaysTheFolder() {
            const tree = openLibrary()
            mouseDoubleClickSequence(rowFor(tree, "Rock"))
            tryCompare(vm, "selectedFileID", idOf("Rock/c.mp3"), 5000)
            compare(vm.playbackQueue[vm.currentQueueIndex].id, idOf("Rock/c.mp3"))
            compare(vm.selectedFolderID, idOf("Rock"))
            // Only the double click's action: the folder did not expand.
            compare(vm.expandedFolderIDs.length, 0)
        }

        function test_clickOnAFileInTheRootPlaysIt() {
            const tree = openLibrary()
            mouseClick(rowFor(tree, "loose.mp3"))
            tryCompare(vm, "selectedFileID", idOf("loose.mp3"), 5000)
            compare(vm.playbackQueue[vm.currentQueueIndex].id, idOf("loose.mp3"))
        }

        function test_searchFiltersTheWholeTree() {
            const tree = openLibrary()
            const field = findChild(sidebar, "searchField")
            const clear = findChild(sidebar, "clearSearchButton")
            verify(!clear.visible)
            field.forceActiveFocus()
            keyClick(Qt.Key_H)
            keyClick(Qt.Key_O)
            tryCompare(tree, "count", 1)
            compare(rowFor(tree, "Hot").depth, 1)
            verify(clear.visible)
            mouseClick(clear)
            compare(field.text, "")
            tryCompare(tree, "count", 3)
        }

        function test_syncButtonPulsesUntilALibraryIsLoaded() {
            const button = findChild(sidebar, "syncFolderButton")
            verify(Qt.colorEqual(button.icon.color, Theme.accent))
            tryVerify(() => button.scale > 1.01)
            openLibrary()
            compare(button.scale, 1)
            compare(button.opacity, 1)
            verify(Qt.colorEqual(button.icon.color, Theme.primary))
        }

        function test_gridShowsTheSameEntries() {
            openLibrary()
            AppSettings.useGridSidebar = true
            const grid = findChild(sidebar, "sidebarGrid")
            verify(grid)
            tryCompare(grid, "count", 3)
            const tile = grid.itemAtIndex(0)
            compare(tile.artworkSize, 120)
            mouseClick(tile, tile.width / 2, 40)
            tryCompare(vm, "selectedFolderID", idOf("Jazz"))
            tryCompare(grid, "count", 5)
            tryVerify(() => !!grid.itemAtIndex(1) && grid.itemAtIndex(1).artworkSize === 96)
            AppSettings.useGridSidebar = false
        }
    }
}
