#include "app/medialibraryviewmodel.h"
#include "support/testsupport.h"
#include "ui/sidebarentries.h"
#include "ui/sidebarentrymodel.h"
#include "ui/sidebarsearch.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

const QString kRoot = QStringLiteral("/music");

MediaItem folder(const QString& relative, QList<MediaItem> children = {}) {
    return MediaItem::folder(kRoot + QLatin1Char('/') + relative, std::move(children));
}
MediaItem audio(const QString& relative) {
    return MediaItem::audioFile(kRoot + QLatin1Char('/') + relative);
}
QString idOf(const QString& relative) {
    return folder(relative).id();
}

// A/ A1/ A1x/   A/A2/   A/Scans/ (no audio)   B/ B1/   Empty/ (no audio)   loose.mp3
MediaItem libraryTree() {
    return MediaItem::folder(
        kRoot, {folder("A", {folder("A/A1", {audio("A/A1/a.mp3"),
                                             folder("A/A1/A1x", {audio("A/A1/A1x/x.flac")})}),
                             folder("A/A2", {audio("A/A2/b.mp3")}), folder("A/Scans", {})}),
                folder("B", {folder("B/B1", {audio("B/B1/c.m4a")})}), folder("Empty", {}),
                audio("loose.mp3")});
}

// "name:depth" per entry.
QStringList describe(const QList<SidebarEntry>& entries) {
    QStringList lines;
    for (const SidebarEntry& entry : entries)
        lines.append(displayName(*entry.item) + QLatin1Char(':') + QString::number(entry.depth));
    return lines;
}

QSet<QString> ids(const QStringList& relatives) {
    QSet<QString> set;
    for (const QString& relative : relatives)
        set.insert(idOf(relative));
    return set;
}

} // namespace

TEST(SidebarEntries, FollowExpansionAndSearch) {
    const MediaItem root = libraryTree();
    const struct {
        QStringList expanded;
        QString search;
        QStringList expected;
    } cases[] = {
        // The top level lists everything in the root, audio or not.
        {{}, {}, {"A:0", "B:0", "Empty:0", "loose.mp3:0"}},
        // Deeper down, only folders with audio.
        {{"A"}, {}, {"A:0", "A1:1", "A2:1", "B:0", "Empty:0", "loose.mp3:0"}},
        {{"A", "A/A1"}, {}, {"A:0", "A1:1", "A1x:2", "A2:1", "B:0", "Empty:0", "loose.mp3:0"}},
        // An expanded folder under a collapsed one stays hidden.
        {{"A/A1"}, {}, {"A:0", "B:0", "Empty:0", "loose.mp3:0"}},
        // A search looks through the whole tree, keeps depths, adds no parents.
        {{}, "a1", {"A1:1", "A1x:2"}},
        {{"B"}, "LOOSE", {"loose.mp3:0"}},
        {{}, "scans", {}},
        {{}, "nothing like it", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describe(sidebarEntries(&root, ids(c.expanded), c.search)), c.expected)
            << c.expanded.join(',').toStdString() << " / " << c.search.toStdString();
    }
    EXPECT_TRUE(sidebarEntries(nullptr, {}, {}).isEmpty());
    const MediaItem childless(QUrl::fromLocalFile(kRoot), true);
    EXPECT_TRUE(sidebarEntries(&childless, {}, QStringLiteral("a")).isEmpty());
}

TEST(SidebarSearch, EachKeystrokeFindsWhatAFreshSearchFinds) {
    MediaItem root = libraryTree();
    SidebarSearch search;
    // Narrowing, widening again after a deletion, another case, no match.
    for (const char* typed : {"a", "a1", "A1X", "a1", "a", "s", "sc", "b", "zz", "zzz", "x"}) {
        const QString text = QString::fromUtf8(typed);
        EXPECT_EQ(describe(search.find(&root, text)), describe(sidebarEntries(&root, {}, text)))
            << typed;
    }
    // Another tree at the same address is looked through once cleared.
    root = MediaItem::folder(kRoot, {folder("Xylo", {audio("Xylo/t.mp3")})});
    search.clear();
    EXPECT_EQ(describe(search.find(&root, QStringLiteral("x"))), QStringList{"Xylo:0"});
}

TEST(SidebarEntries, DisplayNameIsTheDecodedLastComponent) {
    for (const QString& name : {QStringLiteral("Plain"), QStringLiteral("Sigur Rós – Ágætis"),
                                QStringLiteral("Orchid #9"), QStringLiteral("Quiet 100%"),
                                QStringLiteral("What?"), QStringLiteral("日本")}) {
        const MediaItem item = MediaItem::folder(kRoot + QLatin1Char('/') + name);
        EXPECT_EQ(displayName(item), item.name());
        EXPECT_EQ(displayName(item), name);
    }
}

TEST(SidebarEntries, ArtworkSizes) {
    const struct {
        bool grid, large;
        int depth;
        double size;
    } cases[] = {{false, false, 0, 40}, {false, true, 0, 60},  {true, false, 0, 120},
                 {true, true, 0, 200},  {false, false, 1, 32}, {false, true, 2, 48},
                 {true, false, 1, 96},  {true, true, 3, 160}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(sidebarArtworkSize(c.grid, c.large, c.depth), c.size);
}

class SidebarModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        viewModel = std::make_unique<MediaLibraryViewModel>();
        viewModel->setRootFolder(libraryTree());
        model.setViewModel(viewModel.get());
    }

    QStringList rows() const {
        QStringList lines;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row);
            lines.append(index.data(SidebarEntryModel::NameRole).toString() + QLatin1Char(':') +
                         index.data(SidebarEntryModel::DepthRole).toString());
        }
        return lines;
    }

    void clickOn(const QString& relative) {
        const int row = model.rowOf(idOf(relative));
        ASSERT_GE(row, 0) << relative.toStdString();
        model.click(row);
    }

    std::unique_ptr<MediaLibraryViewModel> viewModel;
    SidebarEntryModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(SidebarModelTest, ClickExpandsCollapsesAndSelects) {
    const struct {
        QStringList expandedBefore;
        QString clicked;
        QStringList expandedAfter;
    } cases[] = {
        {{}, "A", {"A"}},
        // A top-level folder collapses every other one, at any depth.
        {{"B", "B/B1"}, "A", {"A"}},
        {{"A"}, "A", {}},
        // Below the top level, siblings stay open.
        {{"A", "A/A1"}, "A/A2", {"A", "A/A1", "A/A2"}},
        {{"A", "A/A1"}, "A/A1", {"A"}},
        // A folder without audio is expanded all the same.
        {{"A"}, "Empty", {"Empty"}},
    };
    for (const auto& c : cases) {
        viewModel->setExpandedFolderIDs(ids(c.expandedBefore));
        clickOn(c.clicked);
        EXPECT_EQ(viewModel->expandedFolderIDs(), ids(c.expandedAfter)) << c.clicked.toStdString();
        EXPECT_EQ(viewModel->selectedFolderID(), idOf(c.clicked));
        EXPECT_TRUE(model.index(model.rowOf(idOf(c.clicked)))
                        .data(SidebarEntryModel::IsSelectedRole)
                        .toBool());
    }
}

TEST_F(SidebarModelTest, ExpansionMovesRowsWithoutReset) {
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

    viewModel->setExpandedFolderIDs(ids({"A", "A/A1"}));
    EXPECT_EQ(rows(),
              (QStringList{"A:0", "A1:1", "A1x:2", "A2:1", "B:0", "Empty:0", "loose.mp3:0"}));
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1);
    EXPECT_EQ(inserted[0][2].toInt(), 3);

    // Opening B closes A: two separate blocks change.
    clickOn("B");
    EXPECT_EQ(rows(), (QStringList{"A:0", "B:0", "B1:1", "Empty:0", "loose.mp3:0"}));
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(inserted.size(), 2);

    // A rescanned tree with the same folders keeps the rows.
    viewModel->setRootFolder(libraryTree());
    EXPECT_EQ(rows().size(), 5);
    EXPECT_EQ(reset.size(), 0);

    model.setSearchText(QStringLiteral("x"));
    EXPECT_EQ(rows(), (QStringList{"A1x:2"}));
    model.setSearchText(QString());
    EXPECT_EQ(rows(), (QStringList{"A:0", "B:0", "B1:1", "Empty:0", "loose.mp3:0"}));

    viewModel->setRootFolder(std::nullopt);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(reset.size(), 0);
}

TEST_F(SidebarModelTest, ArtworkSizeFollowsModeAndDepth) {
    viewModel->setExpandedFolderIDs(ids({"A"}));
    model.setGridMode(true);
    model.setLargeArtwork(true);
    EXPECT_EQ(model.index(0).data(SidebarEntryModel::ArtworkSizeRole).toDouble(), 200);
    EXPECT_EQ(model.index(1).data(SidebarEntryModel::ArtworkSizeRole).toDouble(), 160);
}
