#include "app/medialibraryviewmodel.h"
#include "support/testsupport.h"
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
QSet<QString> ids(const QStringList& relatives) {
    QSet<QString> set;
    for (const QString& relative : relatives)
        set.insert(folder(relative).id());
    return set;
}

// A/ A1/ A1x/   A/A2/   A/Scans/ (no audio)   B/ B1/   Ø #1 5%/ (no audio)
// loose.mp3
MediaItem libraryTree() {
    return MediaItem::folder(
        kRoot, {folder("A", {folder("A/A1", {audio("A/A1/a.mp3"),
                                             folder("A/A1/A1x", {audio("A/A1/A1x/x.flac")})}),
                             folder("A/A2", {audio("A/A2/b.mp3")}), folder("A/Scans", {})}),
                folder("B", {folder("B/B1", {audio("B/B1/c.m4a")})}), folder("Ø #1 5%", {}),
                audio("loose.mp3")});
}

// "name:depth" per entry.
QString describe(const QList<SidebarEntry>& entries) {
    QStringList lines;
    for (const SidebarEntry& entry : entries)
        lines.append(displayName(*entry.item) + QLatin1Char(':') + QString::number(entry.depth));
    return lines.join(", ");
}

struct SidebarModelTest : ::testing::Test {
    MediaLibraryViewModel viewModel;
    SidebarEntryModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
    QSignalSpy inserted{&model, &QAbstractItemModel::rowsInserted};
    QSignalSpy removed{&model, &QAbstractItemModel::rowsRemoved};
    QSignalSpy reset{&model, &QAbstractItemModel::modelReset};

    SidebarModelTest() {
        viewModel.setRootFolder(libraryTree());
        model.setViewModel(&viewModel);
        inserted.clear();
        removed.clear();
    }
    // "name:depth" per row.
    QStringList rows() const {
        QStringList lines;
        for (int row = 0; row < model.rowCount(); ++row) {
            const QModelIndex index = model.index(row);
            lines.append(index.data(SidebarEntryModel::NameRole).toString() + QLatin1Char(':') +
                         index.data(SidebarEntryModel::DepthRole).toString());
        }
        return lines;
    }
};

} // namespace

// Rows follow expansion, search and clicks: the top level lists everything
// in the root, deeper levels only folders with audio; a search looks through
// the whole tree, keeps depths and adds no parents. A click on a folder
// toggles it; a top-level one collapses every other folder.
TEST_F(SidebarModelTest, RowsFollowExpansionSearchAndClicks) {
    const QString top = "A:0, B:0, Ø #1 5%:0, loose.mp3:0";
    const QString openA = "A:0, A1:1, A2:1, B:0, Ø #1 5%:0, loose.mp3:0";
    const QString openA1 = "A:0, A1:1, A1x:2, A2:1, B:0, Ø #1 5%:0, loose.mp3:0";
    const struct {
        const char *expanded, *search, *clicked;
        QString rows;
        const char* expandedAfter;
    } cases[] = {
        {"", "", "", top, ""},
        {"A", "", "", openA, "A"},
        {"A,A/A1", "", "", openA1, "A,A/A1"},
        {"A/A1", "", "", top, "A/A1"}, // under a closed one
        {"", "a1", "", "A1:1, A1x:2", ""},
        {"B", "LOOSE", "", "loose.mp3:0", "B"},
        {"", "scans", "", "", ""},
        {"", "", "A", openA, "A"},
        {"B,B/B1", "", "A", openA, "A"},
        {"A", "", "A", top, ""},
        {"A,A/A1", "", "A/A2", openA1, "A,A/A1,A/A2"}, // below the top level, siblings stay
        {"A,A/A1", "", "A/A1", openA, "A"},
        {"A", "", "Ø #1 5%", top, "Ø #1 5%"}, // no audio: all the same; a name URLs encode
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.expanded) + " / " + c.search + " / " + c.clicked);
        viewModel.setExpandedFolderIDs(ids(QString(c.expanded).split(',', Qt::SkipEmptyParts)));
        model.setSearchText(c.search);
        if (*c.clicked) {
            const QString id = folder(c.clicked).id();
            ASSERT_GE(model.rowOf(id), 0);
            model.click(model.rowOf(id));
            EXPECT_EQ(viewModel.selectedFolderID(), id);
            EXPECT_TRUE(
                model.index(model.rowOf(id)).data(SidebarEntryModel::IsSelectedRole).toBool());
        }
        EXPECT_EQ(rows().join(", "), c.rows);
        EXPECT_EQ(viewModel.expandedFolderIDs(),
                  ids(QString(c.expandedAfter).split(',', Qt::SkipEmptyParts)));
    }
    viewModel.setRootFolder(std::nullopt);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(reset.size(), 0);
}

TEST_F(SidebarModelTest, ExpansionMovesRowsWithoutReset) {
    viewModel.setExpandedFolderIDs(ids({"A", "A/A1"}));
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 1);
    EXPECT_EQ(inserted[0][2].toInt(), 3);
    // Opening B closes A: two separate blocks change.
    model.click(model.rowOf(folder("B").id()));
    EXPECT_EQ(rows().join(", "), "A:0, B:0, B1:1, Ø #1 5%:0, loose.mp3:0");
    EXPECT_EQ(removed.size(), 1);
    EXPECT_EQ(inserted.size(), 2);
    // A rescanned tree with the same folders keeps the rows.
    viewModel.setRootFolder(libraryTree());
    EXPECT_EQ(rows().size(), 5);
    EXPECT_EQ(reset.size(), 0);
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
    EXPECT_EQ(describe(search.find(&root, QStringLiteral("x"))), "Xylo:0");
}
