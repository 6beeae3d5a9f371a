#include "app/medialibraryviewmodel.h"
#include "ui/sidebarentrymodel.h"
#include "ui/sidebarsearch.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

MediaItem folder(const QString& relative, QList<MediaItem> children = {}) {
    return MediaItem::folder("/music/" + relative, std::move(children));
}
MediaItem audio(const QString& relative) {
    return MediaItem::audioFile("/music/" + relative);
}
QSet<QString> ids(const char* relatives) {
    QSet<QString> set;
    for (const QString& relative : QString(relatives).split(',', Qt::SkipEmptyParts))
        set.insert(folder(relative).id());
    return set;
}

// A/ A1/ A1x/   A/A2/   A/Scans/ (no audio)   B/ B1/   Ø #1 5%/ (no audio)   loose.mp3
MediaItem libraryTree() {
    return MediaItem::folder(
        "/music", {folder("A", {folder("A/A1", {audio("A/A1/a.mp3"),
                                                folder("A/A1/A1x", {audio("A/A1/A1x/x.flac")})}),
                                folder("A/A2", {audio("A/A2/b.mp3")}), folder("A/Scans", {})}),
                   folder("B", {folder("B/B1", {audio("B/B1/c.m4a")})}), folder("Ø #1 5%", {}),
                   audio("loose.mp3")});
}

// "name:depth" per entry or row.
QString describe(const QList<SidebarEntry>& entries) {
    QStringList lines;
    for (const SidebarEntry& entry : entries)
        lines << displayName(*entry.item) + ':' + QString::number(entry.depth);
    return lines.join(", ");
}
QString describe(const SidebarEntryModel& model) {
    QStringList lines;
    for (int row = 0; row < model.rowCount(); ++row)
        lines << model.data(model.index(row), SidebarEntryModel::NameRole).toString() + ':' +
                     model.data(model.index(row), SidebarEntryModel::DepthRole).toString();
    return lines.join(", ");
}

} // namespace

// The top level lists everything in the root, deeper levels only folders
// with audio; a search looks through the whole tree, keeps depths and adds
// no parents; rows come and go without a reset. A click on a folder selects
// and toggles it; a top-level one collapses every other folder.
TEST(SidebarModel, RowsFollowExpansionSearchAndClicks) {
    MediaLibraryViewModel viewModel;
    viewModel.setRootFolder(libraryTree());
    SidebarEntryModel model;
    model.setViewModel(&viewModel);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    const QString top = "A:0, B:0, Ø #1 5%:0, loose.mp3:0";
    const QString openA = "A:0, A1:1, A2:1, B:0, Ø #1 5%:0, loose.mp3:0";
    const QString openA1 = "A:0, A1:1, A1x:2, A2:1, B:0, Ø #1 5%:0, loose.mp3:0";
    const struct {
        const char *expanded, *search, *clicked;
        QString rows;
        const char* expandedAfter;
    } cases[] = {
        {"A,A/A1", "", "", openA1, "A,A/A1"},
        {"A/A1", "", "", top, "A/A1"}, // under a closed one
        {"", "a1", "", "A1:1, A1x:2", ""},
        {"B", "LOOSE", "", "loose.mp3:0", "B"},
        {"", "scans", "", "", ""},
        {"B,B/B1", "", "A", openA, "A"},
        {"A", "", "A", top, ""},
        {"A,A/A1", "", "A/A2", openA1, "A,A/A1,A/A2"}, // below the top level, siblings stay
        {"A,A/A1", "", "A/A1", openA, "A"},
        {"A", "", "Ø #1 5%", top, "Ø #1 5%"}, // no audio: all the same; a name URLs encode
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.expanded) + " / " + c.search + " / " + c.clicked);
        viewModel.setExpandedFolderIDs(ids(c.expanded));
        model.setSearchText(c.search);
        if (*c.clicked) {
            const QString id = folder(c.clicked).id();
            ASSERT_GE(model.rowOf(id), 0);
            model.click(model.rowOf(id));
            EXPECT_EQ(viewModel.selectedFolderID(), id);
            EXPECT_TRUE(
                model.index(model.rowOf(id)).data(SidebarEntryModel::IsSelectedRole).toBool());
        }
        EXPECT_EQ(describe(model), c.rows);
        EXPECT_EQ(viewModel.expandedFolderIDs(), ids(c.expandedAfter));
    }
    // A rescanned tree with the same folders keeps the rows; none reset the model.
    viewModel.setRootFolder(libraryTree());
    EXPECT_EQ(model.rowCount(), 4);
    viewModel.setRootFolder(std::nullopt);
    EXPECT_EQ(model.rowCount(), 0);
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
    root = MediaItem::folder("/music", {folder("Xylo", {audio("Xylo/t.mp3")})});
    search.clear();
    EXPECT_EQ(describe(search.find(&root, QStringLiteral("x"))), "Xylo:0");
}
