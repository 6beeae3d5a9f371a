import QtQuick
import QtQuick.Controls
import QtTest
import Tolvane

// The file list: its placeholders, its rows and click to play.
Item {
    width: 400
    height: 500

    Item {
        id: container

        anchors.fill: parent
    }

    TestCase {
        id: testCase

        name: "FileList"
        when: windowShown

        property var vm
        property var view
        property string root

        Component {
            id: fileListComponent
            FileListView {
                width: 400
                height: 500
            }
        }

        SidebarEntryModel {
            id: entries
        }

        function init() {
            vm = testBench.newViewModel()
            view = createTemporaryObject(fileListComponent, container, {"viewModel": vm})
            entries.viewModel = vm
            root = testBench.makeLibrary(["Album/CD1/1.mp3", "Album/CD1/2.mp3", "Album/3.flac",
                                          "Scans/front.jpg", "Scans/Pages/back.jpg"])
            vm.openFolder(testBench.fileUrl(root))
            tryVerify(() => !!vm.rootFolder, 5000)
        }

        function select(name) {
            entries.click(entries.rowOf(testBench.fileUrl(root + "/" + name).toString()))
        }

        function placeholderTitle() {
            return findChild(view, "placeholderTitle").text
        }

        function test_placeholders() {
            compare(placeholderTitle(), "No Selection")
            compare(findChild(view, "fileListTitle").text, "Files")
            select("Scans")
            compare(placeholderTitle(), "No Audio Files")
            compare(findChild(view, "fileListTitle").text, "Scans")
            verify(findChild(view, "fileListPlaceholder").visible)
        }

        function test_listsEverythingBelowTheFolderAndClickPlays() {
            select("Album")
            const list = findChild(view, "fileListRows")
            tryCompare(list, "count", 3)
            tryVerify(() => !!list.itemAtIndex(2))
            verify(!findChild(view, "fileListPlaceholder").visible)
            compare(list.itemAtIndex(0).name, "1.mp3")
            const third = list.itemAtIndex(2)
            compare(third.name, "3.flac")
            mouseClick(third)
            const id = testBench.fileUrl(root + "/Album/3.flac").toString()
            tryCompare(vm, "selectedFileID", id, 5000)
            compare(vm.playbackQueue[vm.currentQueueIndex].id, id)
            tryVerify(() => list.itemAtIndex(2).isSelected)
            verify(!list.itemAtIndex(0).isSelected)
        }
    }
}
