// The stored view settings, the help text and the hidden pointer.
#include "ui/appsettings.h"
#include "ui/cursorhider.h"
#include "ui/helpdocument.h"

#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

TEST(AppSettings, LaunchTurnsPixelationOffAndKeepsTheRest) {
    QSettings().clear();
    AppSettings().setIsArtworkPixelated(true);
    AppSettings().setUseGridSidebar(true);
    AppSettings::resetForLaunch();
    EXPECT_FALSE(AppSettings().isArtworkPixelated());
    EXPECT_TRUE(AppSettings().useGridSidebar());
}

TEST(AppSettings, SidebarWidthStaysInsideTheColumnLimits) {
    const std::pair<QVariant, double> rows[] = {
        {QVariant(), 320}, {450.5, 450.5}, {50, 200}, {5000, 800}, {QStringLiteral("wide"), 320}};
    for (const auto& [stored, expected] : rows) {
        QSettings().remove(QStringLiteral("sidebarWidth"));
        if (stored.isValid())
            QSettings().setValue(QStringLiteral("sidebarWidth"), stored);
        EXPECT_EQ(AppSettings().sidebarWidth(), expected) << stored.toString().toStdString();
    }
}

TEST(CursorHider, HidesAndShowsInPairs) {
    auto first = std::make_unique<CursorHider>();
    CursorHider second;
    first->setHidden(true);
    first->setHidden(true); // already hidden: no second hide
    second.setHidden(true);
    EXPECT_EQ(CursorHider::outstandingHides(), 2);
    second.setHidden(false);
    second.setHidden(false);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr); // the first still hides it
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    first.reset(); // gone while hiding
    EXPECT_EQ(CursorHider::outstandingHides(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(HelpDocument, TextOrWhatWentWrong) {
    EXPECT_TRUE(HelpDocument::load().contains("OLED Care")) << "the bundled guide";
    EXPECT_EQ(HelpDocument::load(":/qt/qml/Tolvane/resources/Missing.txt"),
              "Help documentation file not found.");
    QTemporaryDir dir;
    const QString error = QStringLiteral("Error loading help documentation: ");
    const QString unreadable = HelpDocument::load(dir.path()); // a folder
    EXPECT_TRUE(unreadable.startsWith(error) && unreadable.size() > error.size())
        << unreadable.toStdString();
    QFile latin1(dir.filePath("Help.txt"));
    ASSERT_TRUE(latin1.open(QIODevice::WriteOnly) && latin1.write("Caf\xe9\n") == 5);
    latin1.close();
    EXPECT_TRUE(HelpDocument::load(latin1.fileName()).startsWith(error));
}
