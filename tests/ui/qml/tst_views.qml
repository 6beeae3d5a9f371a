import QtQuick
import QtQuick.Window
import QtTest
import Tolvane

// The main window on a real view model and library: sidebar, file list, player
// panel, title, keys, alerts; then full-screen and folder artwork on their own.
TestCase {
    id: testCase

    name: "Views"
    when: windowShown

    property var vm
    property var win
    property var tree
    property var panel
    property string root

    Component { id: mainWindow; Main {} }
    Component { id: managerComponent; FullscreenArtworkManager {} }
    Component { id: artworkComponent; FolderArtworkView { size: 100 } }
    SignalSpy { id: resets; signalName: "modelReset" }
    SignalSpy { id: accessAsked; signalName: "folderAccessRequested" }

    function init() {
        vm = testBench.newViewModel()
        win = createTemporaryObject(mainWindow, testCase, {"viewModel": vm})
        tree = findChild(win, "sidebarTree")
        for (panel = findChild(win, "titleLabel"); !panel.queueStrip; panel = panel.parent);
    }
    function open(paths) {
        root = testBench.openLibrary(paths || ["Jazz/Cool/a.mp3", "Jazz/Hot/b.mp3", "Jazz/z.mp3",
            "Rock/c.mp3", "Rock/cover.jpg", "Scans/front.jpg", "loose.mp3"])
        verify(root)
    }
    function id(relative) { return root + "/" + relative }
    function child(name) { return findChild(win, name) }
    function rowFor(name) {
        for (let i = 0; i < tree.count; ++i) {
            tree.positionViewAtIndex(i, ListView.Contain)
            if (tree.itemAtIndex(i) && tree.itemAtIndex(i).name === name)
                return tree.itemAtIndex(i)
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
        open()
        tryCompare(tree, "count", 4)
        if (row.twice)
            mouseDoubleClickSequence(rowFor(row.name))
        else
            mouseClick(rowFor(row.name))
        if (row.file) {
            tryCompare(vm, "selectedFileID", id(row.file), 5000)
            compare(vm.playbackQueue[vm.currentQueueIndex].id, id(row.file))
        }
        if (row.folder) {
            tryCompare(vm, "selectedFolderID", id(row.folder))
            tryVerify(() => rowFor(row.folder).isSelected)
            compare(win.title, row.folder)
        }
        compare(vm.expandedFolderIDs, row.expanded.map(id))
        tryCompare(tree, "count", row.rows)
        if (row.twice) { // a later click's action: the double click's single click never came
            mouseClick(rowFor("loose.mp3"))
            tryCompare(vm, "selectedFileID", id("loose.mp3"), 5000)
            compare(vm.expandedFolderIDs, [])
        }
    }

    function test_searchAndGrid() {
        open()
        const field = child("searchField")
        verify(!child("clearSearchButton").visible)
        field.forceActiveFocus()
        keyClick(Qt.Key_H)
        keyClick(Qt.Key_O)
        tryCompare(tree, "count", 1)
        compare(rowFor("Hot").depth, 1)
        mouseClick(child("clearSearchButton"))
        compare(field.text, "")
        tryCompare(tree, "count", 4)

        AppSettings.useGridSidebar = true
        const grid = child("sidebarGrid")
        tryCompare(grid, "count", 4)
        mouseClick(grid.itemAtIndex(0), grid.itemAtIndex(0).width / 2, 40)
        tryCompare(vm, "selectedFolderID", id("Jazz"))
        tryCompare(grid, "count", 6)
        AppSettings.useGridSidebar = false
    }

    // Everything below the folder, reset only when its files change; a click plays.
    function test_fileList() {
        compare(child("placeholderTitle").text, "No Selection")
        open()
        const list = child("fileListRows")
        resets.target = list.model
        resets.clear()
        mouseClick(rowFor("Scans"))
        tryCompare(child("fileListTitle"), "text", "Scans")
        compare(child("placeholderTitle").text, "No Audio Files")
        verify(child("fileListPlaceholder").visible)
        mouseClick(rowFor("Jazz"))
        tryCompare(list, "count", 3)
        mouseClick(rowFor("Jazz")) // the same folder again: the rows stay
        tryCompare(tree, "count", 4)
        compare(resets.count, 1)
        tryVerify(() => !!list.itemAtIndex(2))
        compare(list.itemAtIndex(0).name, "a.mp3")
        mouseClick(list.itemAtIndex(2))
        tryCompare(vm, "selectedFileID", id("Jazz/z.mp3"), 5000)
        compare(vm.playbackQueue[vm.currentQueueIndex].id, id("Jazz/z.mp3"))
        tryVerify(() => list.itemAtIndex(2).isSelected)
        verify(!list.itemAtIndex(0).isSelected)
        mouseClick(rowFor("Rock")) // the playing file is not in it
        tryCompare(list, "count", 1)
        compare(list.model.selectedRow, -1)
        compare(resets.count, 2)
    }

    // The empty window, then a loaded track in the panel and the title.
    function test_theLoadedTrackFillsTheWindow() {
        compare(win.title, "Tolvane")
        for (const name of ["previousButton", "playPauseButton", "nextButton"])
            verify(!child(name).enabled, name)
        compare(panel.informationLine, "")
        compare(child("artistLabel").text, "Unknown Artist")
        open()
        verify(!panel.playDropped("file:///nowhere/x.wav")) // dropped on the artwork
        verify(panel.playDropped(id("Rock/c.mp3")))
        compare(vm.playbackQueue[vm.currentQueueIndex].id, id("Rock/c.mp3"))
        tryVerify(() => panel.informationLine.indexOf("c.mp3 \u2022 Unknown Artist") === 0)
        compare(child("titleLabel").text, "c.mp3")
        verify(child("playPauseButton").enabled)
        tryCompare(win, "title", "Rock")
    }

    function test_stripEditsTheQueue() {
        open()
        for (const folder of ["Jazz/Cool", "Jazz/Hot", "Rock"]) // paused on a, Hot and Rock waiting
            verify(vm.addToQueueByID(id(folder)))
        vm.loadFile(testBench.item(id("Jazz/Cool/a.mp3")), false)
        const strip = panel.queueStrip
        const drag = strip.controller
        tryCompare(strip.groups, "count", 2)
        resets.target = strip.groups // the tiles follow by row moves and inserts
        resets.clear()
        drag.startDrag(id("Jazz/Hot/b.mp3")) // to the left of Rock: after it
        drag.hoverTile(id("Rock/c.mp3"), 5)
        verify(drag.dropOnTile(id("Rock/c.mp3"), strip.groups.ids(), id("Jazz/Hot/b.mp3")))
        tryVerify(() => strip.groups.ids()[0] === id("Rock/c.mp3"))
        compare(strip.groups.count, 2)
        tryCompare(drag, "state", QueueDragController.Idle)
        drag.hoverTile(id("Jazz/Hot/b.mp3"), 40) // from the sidebar, right of Hot: before it
        verify(drag.dropOnBackground(id("Jazz/z.mp3")))
        tryCompare(strip.groups, "count", 3)
        compare(strip.groups.ids(), [id("Rock/c.mp3"), id("Jazz/z.mp3"), id("Jazz/Hot/b.mp3")])
        compare(resets.count, 0)
    }

    function test_keysStoreTheViewSettings_data() {
        const mods = Qt.ControlModifier | Qt.AltModifier | Qt.MetaModifier
        return [
            {tag: "S hides the sidebar", key: Qt.Key_S, mods: 0, name: "isSidebarVisible", before: true, after: false},
            {tag: "F4 pixelates", key: Qt.Key_F4, mods: mods, name: "isArtworkPixelated", before: false, after: true},
            {tag: "F4 does not toggle", key: Qt.Key_F4, mods: mods, name: "isArtworkPixelated", before: true, after: true},
            {tag: "F5 ends it", key: Qt.Key_F5, mods: mods, name: "isArtworkPixelated", before: true, after: false},
        ]
    }
    function test_keysStoreTheViewSettings(row) {
        AppSettings[row.name] = row.before
        verify(testBench.sendKey(win, row.key, row.mods))
        compare(AppSettings[row.name], row.after)
        compare(testBench.setting(row.name), row.after)
    }

    function test_alertsClearTheirFlagWhenDismissed() {
        vm.errorMessage = "Disk full"
        vm.showError = true
        tryVerify(() => child("errorAlert").opened)
        child("errorAlert").reject()
        tryCompare(vm, "showError", false)
        accessAsked.target = vm
        vm.showPermissionAlert = true
        tryVerify(() => child("permissionAlert").opened)
        child("permissionAlert").accept()
        tryCompare(vm, "showPermissionAlert", false)
        compare(accessAsked.count, 1)
    }

    // One window that follows the flag, with the pointer hidden over it; its
    // placeholder until there is artwork, which drifts in OLED care mode.
    function test_fullscreenArtwork() {
        const manager = createTemporaryObject(managerComponent, testCase, {"viewModel": vm})
        vm.isFullscreenArtwork = true
        const first = manager.window
        tryCompare(first, "visibility", Window.FullScreen)
        verify(waitForRendering(first.contentItem))
        mouseMove(first.contentItem, 100, 100)
        tryVerify(() => testBench.overrideCursorShape() === Qt.BlankCursor, 2000, "hidden")
        vm.isFullscreenArtwork = true // asked again: the same window
        compare(manager.window, first)
        vm.isFullscreenArtwork = false
        compare(manager.window, null)
        tryVerify(() => testBench.overrideCursorShape() === -1, 2000, "shown again")
        vm.isFullscreenArtwork = true // closed from outside: the flag follows
        manager.window.close()
        compare(vm.isFullscreenArtwork, false)

        vm.isOLEDCareMode = true
        vm.isFullscreenArtwork = true
        const placeholder = findChild(manager.window.contentItem, "placeholder")
        const bouncing = findChild(manager.window.contentItem, "bouncingLoader")
        tryCompare(placeholder, "opacity", 0.3, 3000)
        verify(!bouncing.active)
        open()
        verify(vm.playItemByID(id("Rock/c.mp3")))
        tryVerify(() => bouncing.active, 5000, "drifting artwork")
        tryCompare(placeholder, "opacity", 0, 3000)
        tryVerify(() => findChild(bouncing.item, "driftingArtwork").ready, 5000)
        vm.isOLEDCareMode = false // fades out, then goes and saves its drift
        tryVerify(() => !bouncing.active, 3000)
        verify(testBench.setting("OLEDLastVX") !== undefined)
        verify(testBench.sendKey(manager.window, Qt.Key_Escape)) // Escape in the window itself
        compare(vm.isFullscreenArtwork, false)
        compare(manager.window, null)
    }

    // Stacked sub-folder covers, its own cover, placeholders, reloading.
    function test_folderArtwork() {
        open(["Artist/A1/a.mp3", "Artist/A1/folder.jpg", "Artist/A2/b.mp3", "Artist/A3/c.mp3",
              "Artist/A3/folder.jpg", "Artist/A4/d.mp3", "Artist/A4/folder.jpg", "Album/e.mp3",
              "Album/folder.jpg", "Bare/B1/f.mp3"])
        const views = {}
        for (const name of ["Artist", "Album", "Bare"]) {
            views[name] = createTemporaryObject(artworkComponent, testCase, {"item": testBench.item(id(name))})
            tryVerify(() => views[name].settled, 5000)
        }
        compare(views.Artist.stackIds, [id("Artist/A1"), id("Artist/A2"), id("Artist/A3")])
        compare(views.Artist.cardCount, 2) // A2 has no cover
        compare(views.Artist.cardSize, 92)
        verify(!views.Artist.showsOwn && !views.Artist.showsPlaceholder)
        verify(views.Album.showsOwn)
        verify(views.Bare.showsPlaceholder)
        compare(views.Bare.stackIds.length, 1)
        AppNotifications.artworkUpdated(id("Album"))
        compare(views.Album.revision, 1)
        compare(views.Artist.revision, 0)
        tryVerify(() => views.Album.showsOwn, 5000)
    }
}
