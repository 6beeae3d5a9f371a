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

    function fileMenuAction(text) {
        for (let m = 0; m < win.menuBar.count; ++m) {
            const menu = win.menuBar.menuAt(m)
            for (let i = 0; menu.title.replace("&", "") === "File" && i < menu.count; ++i) {
                const entry = menu.itemAt(i)
                if (entry && entry.action && entry.action.text === text)
                    return entry.action
            }
        }
        return null
    }

    function test_titleAndFolderCommandsFollowTheLibrary() {
        compare(win.title, "Tolvane")
        verify(fileMenuAction("Open Media Folder...").enabled)
        verify(!fileMenuAction("Rescan Folder").enabled)
        verify(!fileMenuAction("Unload Folder").enabled)
        const root = openLibrary(["Jazz/a.mp3", "Rock/b.flac"])
        verify(fileMenuAction("Rescan Folder").enabled)
        verify(fileMenuAction("Unload Folder").enabled)
        vm.playFolderByID(testBench.fileUrl(root + "/Jazz").toString())
        tryCompare(win, "title", "Jazz")
    }

    function test_keysStoreTheViewSettings_data() {
        const pixelate = Qt.ControlModifier | Qt.AltModifier | Qt.MetaModifier
        return [
            {tag: "S hides the sidebar", key: Qt.Key_S, mods: 0, name: "isSidebarVisible", before: true, after: false},
            {tag: "S shows it again", key: Qt.Key_S, mods: 0, name: "isSidebarVisible", before: false, after: true},
            {tag: "F4 pixelates", key: Qt.Key_F4, mods: pixelate, name: "isArtworkPixelated", before: false, after: true},
            {tag: "F4 does not toggle", key: Qt.Key_F4, mods: pixelate, name: "isArtworkPixelated", before: true, after: true},
            {tag: "F5 ends it", key: Qt.Key_F5, mods: pixelate, name: "isArtworkPixelated", before: true, after: false},
            {tag: "F5 does not toggle", key: Qt.Key_F5, mods: pixelate, name: "isArtworkPixelated", before: false, after: false},
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
