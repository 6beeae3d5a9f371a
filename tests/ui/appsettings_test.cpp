#include "ui/appsettings.h"

#include <QSettings>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

struct BoolSetting {
    const char* key;
    bool fallback;
    bool (AppSettings::*read)() const;
    void (AppSettings::*write)(bool);
};

const BoolSetting boolSettings[] = {
    {"useLargeArtwork", false, &AppSettings::useLargeArtwork, &AppSettings::setUseLargeArtwork},
    {"useGridSidebar", false, &AppSettings::useGridSidebar, &AppSettings::setUseGridSidebar},
    {"isTrackListVisible", true, &AppSettings::isTrackListVisible,
     &AppSettings::setIsTrackListVisible},
    {"isSidebarVisible", true, &AppSettings::isSidebarVisible, &AppSettings::setIsSidebarVisible},
    {"isArtworkPixelated", false, &AppSettings::isArtworkPixelated,
     &AppSettings::setIsArtworkPixelated},
};

class AppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); }
};

TEST_F(AppSettingsTest, MissingKeysReadAsDefaultsAndWritesLandUnderTheirKeys) {
    for (const BoolSetting& setting : boolSettings) {
        SCOPED_TRACE(setting.key);
        AppSettings settings;
        EXPECT_EQ((settings.*setting.read)(), setting.fallback);
        EXPECT_FALSE(QSettings().contains(QLatin1String(setting.key)));
        (settings.*setting.write)(!setting.fallback);
        EXPECT_EQ(QSettings().value(QLatin1String(setting.key)).toBool(), !setting.fallback);
        // Another instance (another view) sees the stored value.
        EXPECT_EQ((AppSettings().*setting.read)(), !setting.fallback);
    }
}

TEST_F(AppSettingsTest, EveryWriteNotifiesAlsoWhenUnchanged) {
    AppSettings settings;
    QSignalSpy spy(&settings, &AppSettings::isSidebarVisibleChanged);
    settings.setIsSidebarVisible(true);
    settings.setIsSidebarVisible(true);
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(AppSettingsTest, LaunchTurnsPixelationOffAndKeepsTheRest) {
    AppSettings settings;
    settings.setIsArtworkPixelated(true);
    settings.setUseGridSidebar(true);
    AppSettings::resetForLaunch();
    EXPECT_FALSE(AppSettings().isArtworkPixelated());
    EXPECT_TRUE(AppSettings().useGridSidebar());
}

TEST_F(AppSettingsTest, SidebarWidthStaysInsideTheColumnLimits) {
    const std::pair<QVariant, double> rows[] = {
        {QVariant(), 320}, {450.5, 450.5}, {50, 200}, {5000, 800}, {QStringLiteral("wide"), 320}};
    for (const auto& [stored, expected] : rows) {
        if (stored.isValid())
            QSettings().setValue(QStringLiteral("sidebarWidth"), stored);
        else
            QSettings().remove(QStringLiteral("sidebarWidth"));
        EXPECT_EQ(AppSettings().sidebarWidth(), expected) << stored.toString().toStdString();
    }
}

} // namespace
