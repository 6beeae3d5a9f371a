import QtQuick
import QtTest
import Tolvane

// The sidebar and the file list side by side: clicks, double clicks, search,
// the grid, placeholders, and a file list reset only when its files change.
Item {
    width: 800
    height: 600

    TestCase {
        id: testCase

        name: "Library"
        when: windowShown

        property var vm
        property var sidebar
        property var files
        property var tree
        property string root

        Component {
            id: sidebarComponent
            SidebarView {
                width: 400
                height: 600
            }
        }

        Component {
            id: fileListComponent
            FileListView {
                x: 400
                width: 400
                height: 600
            }
        }

        SignalSpy {
            id: resets
            signalName: "modelReset"
        }

        function init() {
            vm = testBench.newViewModel()
            sidebar = createTemporaryObject(sidebarComponent, testCase.parent, {"viewModel": vm})
            files = createTemporaryObject(fileListComponent, testCase.parent, {"viewModel": vm})
            root = testBench.makeLibrary(["Jazz/Cool/a.mp3", "Jazz/Hot/b.mp3", "Jazz/z.mp3", "Rock/c.mp3",
                                          "Rock/cover.jpg", "Scans/front.jpg", "loose.mp3"])
            vm.openFolder(testBench.fileUrl(root))
            tryVerify(() => !!vm.rootFolder, 5000)
            tree = findChild(sidebar, "sidebarTree")
            tryCompare(tree, "count", 4)
        }

        function idOf(relative) {
            return testBench.fileUrl(root + "/" + relative).toString()
        }

        function rowFor(name) {
            for (let i = 0; i < tree.count; ++i) {
                tree.positionViewAtIndex(i, ListView.Contain)
                const row = tree.itemAtIndex(i)
                if (row && row.name === name)
                    return row
            }
            return null
        }

        // A click selects and expands a folder; a double click only plays it;
        // a click on a file in the root plays the file.
        function test_clicks_data() {
            return [
                {tag: "click", name: "Jazz", twice: false, folder: "Jazz", file: "", expanded: ["Jazz"], rows: 6},
                {tag: "double click", name: "Rock", twice: true, folder: "Rock", file: "Rock/c.mp3", expanded: [], rows: 4},
                {tag: "file in the root", name: "loose.mp3", twice: false, folder: "", file: "loose.mp3", expanded: [], rows: 4},
            ]
        }

        function test_clicks(row) {
            if (row.twice)
                mouseDoubleClickSequence(rowFor(row.name))
            else
                mouseClick(rowFor(row.name))
            if (row.file) {
                tryCompare(vm, "selectedFileID", idOf(row.file), 5000)
                compare(vm.playbackQueue[vm.currentQueueIndex].id, idOf(row.file))
            }
            if (row.folder) {
                tryCompare(vm, "selectedFolderID", idOf(row.folder))
                tryVerify(() => rowFor(row.folder).isSelected)
            }
            compare(vm.expandedFolderIDs, row.expanded.map(idOf))
            tryCompare(tree, "count", row.rows)
            if (row.rows > 4)
                compare(rowFor("Cool").depth, 1)
            if (row.twice) { // a later click's action: the double click's single click never came
                mouseClick(rowFor("loose.mp3"))
                tryCompare(vm, "selectedFileID", idOf("loose.mp3"), 5000)
                compare(vm.expandedFolderIDs, [])
            }
        }

        function test_searchFiltersTheWholeTree() {
            const field = findChild(sidebar, "searchField")
            const clear = findChild(sidebar, "clearSearchButton")
            verify(!clear.visible)
            field.forceActiveFocus()
            keyClick(Qt.Key_H)
            keyClick(Qt.Key_O)
            tryCompare(tree, "count", 1)
            compare(rowFor("Hot").depth, 1)
            verify(clear.visible)
            mouseClick(clear)
            compare(field.text, "")
            tryCompare(tree, "count", 4)
        }

        function test_gridShowsTheSameEntries() {
            AppSettings.useGridSidebar = true
            const grid = findChild(sidebar, "sidebarGrid")
            tryCompare(grid, "count", 4)
            const tile = grid.itemAtIndex(0)
            mouseClick(tile, tile.width / 2, 40)
            tryCompare(vm, "selectedFolderID", idOf("Jazz"))
            tryCompare(grid, "count", 6)
            AppSettings.useGridSidebar = false
        }

        function test_fileListPlaceholders() {
            const title = findChild(files, "placeholderTitle")
            compare(title.text, "No Selection")
            compare(findChild(files, "fileListTitle").text, "Files")
            mouseClick(rowFor("Scans"))
            tryCompare(findChild(files, "fileListTitle"), "text", "Scans")
            compare(title.text, "No Audio Files")
            verify(findChild(files, "fileListPlaceholder").visible)
        }

        function test_fileListShowsEverythingBelowTheFolderAndClickPlays() {
            const list = findChild(files, "fileListRows")
            resets.target = list.model
            resets.clear()
            mouseClick(rowFor("Jazz"))
            tryCompare(list, "count", 3)
            mouseClick(rowFor("Jazz")) // the same folder again: the rows stay
            tryCompare(tree, "count", 4)
            compare(resets.count, 1)
            verify(!findChild(files, "fileListPlaceholder").visible)
            tryVerify(() => !!list.itemAtIndex(2))
            compare(list.itemAtIndex(0).name, "a.mp3")
            compare(list.itemAtIndex(2).name, "z.mp3")
            mouseClick(list.itemAtIndex(2))
            tryCompare(vm, "selectedFileID", idOf("Jazz/z.mp3"), 5000)
            compare(vm.playbackQueue[vm.currentQueueIndex].id, idOf("Jazz/z.mp3"))
            tryVerify(() => list.itemAtIndex(2).isSelected)
            verify(!list.itemAtIndex(0).isSelected)
            mouseClick(rowFor("Rock")) // the playing file is not in it
            tryCompare(list, "count", 1)
            compare(list.model.selectedRow, -1)
            compare(resets.count, 2)
        }
    }
}
