#include "ui/appsettings.h"

#include "app/usersettings.h"

#include <QSettings>
#include <algorithm>

AppSettings::AppSettings(QObject* parent) : QObject(parent) {}

void AppSettings::resetForLaunch() {
    userSettings().setValue(QStringLiteral("isArtworkPixelated"), false);
}

QVariant AppSettings::value(const char* key, const QVariant& fallback) const {
    return userSettings().value(QLatin1String(key), fallback);
}

void AppSettings::store(const char* key, bool on, void (AppSettings::*changed)()) {
    userSettings().setValue(QLatin1String(key), on);
    emit(this->*changed)();
}

void AppSettings::setUseLargeArtwork(bool on) {
    store("useLargeArtwork", on, &AppSettings::useLargeArtworkChanged);
}
void AppSettings::setUseGridSidebar(bool on) {
    store("useGridSidebar", on, &AppSettings::useGridSidebarChanged);
}
void AppSettings::setIsTrackListVisible(bool on) {
    store("isTrackListVisible", on, &AppSettings::isTrackListVisibleChanged);
}
void AppSettings::setIsSidebarVisible(bool on) {
    store("isSidebarVisible", on, &AppSettings::isSidebarVisibleChanged);
}
void AppSettings::setIsArtworkPixelated(bool on) {
    store("isArtworkPixelated", on, &AppSettings::isArtworkPixelatedChanged);
}

double AppSettings::sidebarWidth() const {
    bool ok = false;
    const double width = value("sidebarWidth", 320.0).toDouble(&ok);
    return ok ? std::clamp(width, 200.0, 800.0) : 320.0;
}
