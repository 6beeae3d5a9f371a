// The stored view settings and the help text.
#include "ui/appsettings.h"
#include "ui/helpdocument.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(AppSettings, LaunchTurnsPixelationOffAndSidebarWidthStaysInItsLimits) {
    QSettings().clear();
    AppSettings().setIsArtworkPixelated(true);
    AppSettings().setUseGridSidebar(true);
    AppSettings::resetForLaunch();
    EXPECT_FALSE(AppSettings().isArtworkPixelated());
    EXPECT_TRUE(AppSettings().useGridSidebar());
    const std::pair<QVariant, double> rows[] = {
        {QVariant(), 320}, {450.5, 450.5}, {50, 200}, {5000, 800}, {QStringLiteral("wide"), 320}};
    for (const auto& [stored, expected] : rows) {
        const QString key = QStringLiteral("sidebarWidth");
        stored.isValid() ? QSettings().setValue(key, stored) : QSettings().remove(key);
        EXPECT_EQ(AppSettings().sidebarWidth(), expected) << stored.toString().toStdString();
    }
}

TEST(HelpDocument, TextOrWhatWentWrong) {
    EXPECT_TRUE(HelpDocument::load().contains("OLED Care")) << "the bundled guide";
    EXPECT_EQ(HelpDocument::load(":/missing.txt"), "Help documentation file not found.");
    QTemporaryDir dir;
    const QString error = QStringLiteral("Error loading help documentation: ");
    const QString unreadable = HelpDocument::load(dir.path()); // a folder
    EXPECT_TRUE(unreadable.startsWith(error) && unreadable.size() > error.size());
}
