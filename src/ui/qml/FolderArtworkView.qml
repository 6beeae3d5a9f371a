import QtQuick
import QtQuick.Controls.impl
import Tolvane

// The square artwork of a library item: a fanned stack of up to three of its
// sub-folders' covers, else its own artwork, else a placeholder ("folder"
// for a folder with audio sub-folders, a music note otherwise). Pictures
// come from the image provider, pixelated there when the setting is on.
// With dropEnabled, an image file, image or web address dropped on it is
// handed on through artworkDropped.
// Pictures are decoded at the size they are shown, so they go without
// mipmaps: building those for each cover that scrolls in costs a software
// renderer more than a frame's worth of time.
Item {
    id: artwork

    required property var item
    property real size: 24
    property bool dropEnabled: false
    // A faint edge around the item's own picture (the grid's soft shadow).
    property bool halo: false

    signal artworkDropped(url source)

    readonly property string itemId: artwork.item ? artwork.item.id : ""
    // Set only when the ids really change: a rescanned tree hands every row
    // a new item, which must not restart the cards' loading.
    property var stackIds: []
    readonly property bool pixelated: AppSettings.isArtworkPixelated
    // Bumped when the item's artwork was saved: new addresses, fresh pictures.
    property int revision: 0
    // Which stack cards have a picture, one bit per card; -1 while loading.
    property int readyCards: -1
    readonly property int cardCount: artwork.readyCards > 0 ? artwork.bitCount(artwork.readyCards) : 0
    readonly property real step: 0.08 * artwork.size
    readonly property real cardSize: artwork.size - (artwork.cardCount - 1) * artwork.step
    readonly property bool showsStack: artwork.cardCount > 0
    // The own picture is asked for once no sub-folder turned out to have one.
    property bool wantsOwn: false
    readonly property bool showsOwn: !artwork.showsStack && artwork.wantsOwn
                                     && ownImage.status === Image.Ready
    readonly property int pixelSize: Math.ceil(artwork.size)
    // Placeholders wait until the pictures have answered, so that a cover
    // arriving from the cache does not flash one.
    readonly property bool settled: artwork.readyCards > 0
                                    || (artwork.wantsOwn && ownImage.status !== Image.Loading
                                        && ownImage.status !== Image.Null)
    readonly property bool showsPlaceholder: artwork.settled && !artwork.showsStack && !artwork.showsOwn

    width: artwork.size
    height: artwork.size

    function address(id) {
        return "image://artwork/item/" + encodeURIComponent(id) + "?px=" + (artwork.pixelated ? 1 : 0)
                + "&r=0.15&v=" + artwork.revision
    }

    function bitCount(bits) {
        let count = 0
        for (let b = bits; b; b >>= 1)
            count += b & 1
        return count
    }

    // Called by the cards whenever one of them finishes or restarts loading.
    function updateCards() {
        if (cards.count < artwork.stackIds.length)
            return artwork.readyCards = -1
        let bits = 0
        for (let i = 0; i < cards.count; ++i) {
            // The picture's own status: the cards' bindings may not have
            // caught up yet when this runs.
            const card = cards.itemAt(i)
            const status = card ? card.image.status : Image.Null
            if (status === Image.Loading || status === Image.Null)
                return artwork.readyCards = -1
            if (status === Image.Ready)
                bits |= 1 << i
        }
        artwork.readyCards = bits
    }

    function refreshStackIds() {
        const ids = artwork.item ? FolderArtwork.stackIds(artwork.item) : []
        if (ids.join("\n") !== artwork.stackIds.join("\n"))
            artwork.stackIds = ids
    }

    onItemChanged: artwork.refreshStackIds()
    onStackIdsChanged: artwork.updateCards()
    onReadyCardsChanged: {
        if (artwork.readyCards >= 0)
            artwork.wantsOwn = artwork.readyCards === 0
    }
    Component.onCompleted: {
        artwork.refreshStackIds()
        artwork.updateCards()
    }

    // Placeholders while nothing else shows, made only then: a tinted icon
    // costs the GUI thread a painting, and most tiles of a grid that a search
    // or a scroll creates get their covers.
    Loader {
        anchors.fill: parent
        active: artwork.showsPlaceholder
        sourceComponent: artwork.stackIds.length > 0 ? folderPlaceholder : notePlaceholder
    }

    Component {
        id: folderPlaceholder

        IconImage {
            source: Theme.iconSource("folder")
            color: Theme.secondary
            sourceSize: Qt.size(artwork.pixelSize, artwork.pixelSize)
        }
    }
    Component {
        id: notePlaceholder

        Rectangle {
            radius: 0.15 * artwork.size
            color: Qt.rgba(Theme.secondary.r, Theme.secondary.g, Theme.secondary.b, 0.2)

            IconImage {
                anchors.centerIn: parent
                width: 0.4 * artwork.size
                height: width
                source: Theme.iconSource("audio-x-generic")
                color: Theme.secondary
                sourceSize: Qt.size(Math.ceil(width), Math.ceil(height))
            }
        }
    }

    Rectangle {
        anchors.fill: parent
        anchors.margins: -1
        visible: artwork.halo && artwork.showsOwn
        radius: 0.15 * artwork.size + 1
        color: Qt.rgba(0, 0, 0, 0.15)
    }
    // The item's own artwork, asked for only when no sub-folder has a cover.
    Image {
        id: ownImage

        anchors.fill: parent
        visible: artwork.showsOwn
        asynchronous: true
        smooth: !artwork.pixelated
        sourceSize: Qt.size(artwork.pixelSize, artwork.pixelSize)
        source: artwork.wantsOwn && artwork.itemId ? artwork.address(artwork.itemId) : ""
    }

    // The stack: later cards lie on top; the first sits furthest right and
    // up, the last at the bottom left.
    Repeater {
        id: cards

        model: artwork.stackIds

        Item {
            id: card

            required property string modelData
            required property int index
            readonly property alias image: cardImage
            readonly property bool ready: cardImage.status === Image.Ready
            // Place among the cards that have a picture.
            readonly property int slot: artwork.bitCount(artwork.readyCards & ((1 << card.index) - 1))
            readonly property real shift: artwork.step * (artwork.cardCount - 1 - card.slot)

            visible: artwork.showsStack && card.ready
            x: card.shift
            y: artwork.size - artwork.cardSize - card.shift
            width: artwork.cardSize
            height: artwork.cardSize

            Component.onCompleted: artwork.updateCards()
            Component.onDestruction: Qt.callLater(artwork.updateCards)

            // A hard-edged stand-in for a soft shadow of radius 1.
            Rectangle {
                x: 1
                y: 1
                width: parent.width
                height: parent.height
                radius: 0.15 * artwork.cardSize
                color: Qt.rgba(0, 0, 0, 0.25)
            }
            Image {
                id: cardImage

                anchors.fill: parent
                asynchronous: true
                smooth: !artwork.pixelated
                sourceSize: Qt.size(artwork.pixelSize, artwork.pixelSize)
                source: artwork.address(card.modelData)
                onStatusChanged: artwork.updateCards()
            }
            Rectangle {
                anchors.fill: parent
                radius: 0.15 * artwork.cardSize
                color: "transparent"
                border.width: 1
                border.color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.1)
            }
        }
    }

    Connections {
        target: AppNotifications

        function onArtworkUpdated(folderId) {
            if (folderId === artwork.itemId)
                artwork.revision++
        }
    }

    DropArea {
        anchors.fill: parent
        enabled: artwork.dropEnabled

        function imageFormat(formats) {
            for (const format of formats) {
                if (format.startsWith("image/"))
                    return format
            }
            return formats.indexOf("application/x-qt-image") >= 0 ? "application/x-qt-image" : ""
        }

        onEntered: drag => {
            drag.accepted = FolderArtwork.acceptsDrop(drag.urls, imageFormat(drag.formats) !== "",
                                                      drag.hasText ? drag.text : "")
        }
        onDropped: drop => {
            const format = imageFormat(drop.formats)
            if (!FolderArtwork.acceptsDrop(drop.urls, format !== "", drop.hasText ? drop.text : "")) {
                drop.accepted = false
                return
            }
            drop.acceptProposedAction()
            const data = format && !(drop.urls.length && drop.urls[0].toString().startsWith("file:"))
                    ? drop.getDataAsArrayBuffer(format) : new ArrayBuffer(0)
            const source = FolderArtwork.takeDrop(drop.urls, data, drop.hasText ? drop.text : "")
            if (source.toString() !== "")
                artwork.artworkDropped(source)
        }
    }
}
