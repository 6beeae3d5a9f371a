import QtQuick
import QtQuick.Controls
import QtTest
import Tolvane

// The main window's title, menu states, keys and alerts.
TestCase {
    id: testCase

    name: "MainWindow"
    when: windowShown

    property var vm
    property var win

    Component {
        id: mainWindow
        Main {}
    }

    function init() {
        vm = testBench.newViewModel()
        win = createTemporaryObject(mainWindow, testCase, {"viewModel": vm})
        verify(win)
    }

    function openLibrary(paths) {
        const root = testBench.makeLibrary(paths)
        vm.openFolder(testBench.fileUrl(root))
        tryVerify(() => !!vm.rootFolder, 5000)
        return root
    }

    function menuAction(menuTitle, text) {
        const bar = win.menuBar
        for (let m = 0; m < bar.count; ++m) {
            const menu = bar.menuAt(m)
            if (menu.title.replace("&", "") !== menuTitle)
                continue
            for (let i = 0; i < menu.count; ++i) {
                const entry = menu.itemAt(i)
                if (entry && entry.action && entry.action.text === text)
                    return entry.action
            }
        }
        return null
    }

    function test_titleFollowsTheSelectedFolder() {
        compare(win.title, "Tolvane")
        const root = openLibrary(["Jazz/a.mp3", "Rock/b.flac"])
        vm.playFolderByID(testBench.fileUrl(root + "/Jazz").toString())
        tryCompare(win, "title", "Jazz")
    }

    function test_folderCommandsNeedALibrary() {
        verify(menuAction("File", "Open Media Folder...").enabled)
        verify(!menuAction("File", "Rescan Folder").enabled)
        verify(!menuAction("File", "Unload Folder").enabled)
        openLibrary(["A/a.mp3"])
        verify(menuAction("File", "Rescan Folder").enabled)
        verify(menuAction("File", "Unload Folder").enabled)
    }

    function test_editMenuIsAbsent() {
        for (let m = 0; m < win.menuBar.count; ++m)
            verify(win.menuBar.menuAt(m).title.replace("&", "") !== "Edit")
        compare(menuAction("File", "Undo"), null)
    }

    function test_sKeyTogglesTheSidebarAndStoresIt() {
        compare(AppSettings.isSidebarVisible, true)
        verify(testBench.sendKey(win, Qt.Key_S))
        compare(AppSettings.isSidebarVisible, false)
        compare(testBench.setting("isSidebarVisible"), false)
        verify(testBench.sendKey(win, Qt.Key_S))
        compare(testBench.setting("isSidebarVisible"), true)
    }

    function test_pixelationKeys() {
        const mods = Qt.ControlModifier | Qt.AltModifier | Qt.MetaModifier
        verify(testBench.sendKey(win, Qt.Key_F4, mods))
        verify(testBench.sendKey(win, Qt.Key_F4, mods))
        compare(testBench.setting("isArtworkPixelated"), true)
        verify(testBench.sendKey(win, Qt.Key_F5, mods))
        compare(testBench.setting("isArtworkPixelated"), false)
    }

    function test_alertsClearTheirFlagWhenDismissed() {
        vm.errorMessage = "Disk full"
        vm.showError = true
        const error = findChild(win, "errorAlert")
        tryVerify(() => error.opened)
        error.reject()
        tryCompare(vm, "showError", false)

        vm.showPermissionAlert = true
        const permission = findChild(win, "permissionAlert")
        tryVerify(() => permission.opened)
        let asked = false
        const ask = () => asked = true
        vm.folderAccessRequested.connect(ask)
        permission.accept()
        tryCompare(vm, "showPermissionAlert", false)
        verify(asked)
        vm.folderAccessRequested.disconnect(ask)
    }
}
