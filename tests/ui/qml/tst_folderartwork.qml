import QtQuick
import QtTest
import Tolvane

// The artwork of a library item: stacked sub-folder covers, its own cover,
// placeholders, and reloading when its artwork was saved.
Item {
    width: 300
    height: 300

    TestCase {
        id: testCase

        name: "FolderArtwork"
        when: windowShown

        property string root

        Component {
            id: artworkComponent
            FolderArtworkView {
                size: 100
            }
        }

        function initTestCase() {
            testBench.newViewModel().openFolder(testBench.fileUrl(testCase.root = testBench.makeLibrary([
                "Artist/A1/a.mp3", "Artist/A1/folder.jpg", "Artist/A2/b.mp3",
                "Artist/A3/c.mp3", "Artist/A3/folder.jpg", "Artist/A4/d.mp3", "Artist/A4/folder.jpg",
                "Album/e.mp3", "Album/folder.jpg", "Bare/B1/f.mp3", "loose.mp3"])))
            tryVerify(() => !!testBench.item(idOf("Artist")), 5000)
        }

        function idOf(relative) {
            return testBench.fileUrl(root + "/" + relative).toString()
        }

        function artworkOf(relative) {
            const view = createTemporaryObject(artworkComponent, testCase.parent,
                                               {"item": testBench.item(idOf(relative))})
            tryVerify(() => view.settled, 5000)
            return view
        }

        function test_stackShowsTheCoversOfTheFirstThreeSubfolders() {
            const view = artworkOf("Artist")
            compare(view.stackIds, [idOf("Artist/A1"), idOf("Artist/A2"), idOf("Artist/A3")])
            // A2 has no cover: two cards, each 100 - 8 points.
            compare(view.cardCount, 2)
            compare(view.cardSize, 92)
            verify(!view.showsOwn && !view.showsPlaceholder)
        }

        function test_ownCoverAndPlaceholders() {
            const album = artworkOf("Album")
            verify(album.showsOwn)
            compare(album.cardCount, 0)
            const bare = artworkOf("Bare")
            verify(bare.showsPlaceholder)
            compare(bare.stackIds.length, 1)
            const loose = artworkOf("loose.mp3")
            verify(loose.showsPlaceholder)
            compare(loose.stackIds.length, 0)
        }

        function test_savedArtworkReloadsOnlyItsOwnView() {
            const album = artworkOf("Album")
            const other = artworkOf("Artist")
            AppNotifications.artworkUpdated(idOf("Album"))
            compare(album.revision, 1)
            compare(other.revision, 0)
            tryVerify(() => album.showsOwn, 5000)
        }
    }
}
