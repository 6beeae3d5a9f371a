#pragma once

#include <QObject>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

// The window's settings, stored under their own keys. One instance per QML
// engine, so a write through any view is seen by all of them. A key that is
// missing reads as its default and nothing is written until a view sets it.
class AppSettings : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool useLargeArtwork READ useLargeArtwork WRITE setUseLargeArtwork NOTIFY
                   useLargeArtworkChanged)
    Q_PROPERTY(bool useGridSidebar READ useGridSidebar WRITE setUseGridSidebar NOTIFY
                   useGridSidebarChanged)
    Q_PROPERTY(bool isTrackListVisible READ isTrackListVisible WRITE setIsTrackListVisible NOTIFY
                   isTrackListVisibleChanged)
    Q_PROPERTY(bool isSidebarVisible READ isSidebarVisible WRITE setIsSidebarVisible NOTIFY
                   isSidebarVisibleChanged)
    Q_PROPERTY(bool isArtworkPixelated READ isArtworkPixelated WRITE setIsArtworkPixelated NOTIFY
                   isArtworkPixelatedChanged)
    Q_PROPERTY(double sidebarWidth READ sidebarWidth NOTIFY sidebarWidthChanged)

public:
    explicit AppSettings(QObject* parent = nullptr);

    // Every launch starts without pixelation.
    static void resetForLaunch();

    bool useLargeArtwork() const { return value("useLargeArtwork", false).toBool(); }
    void setUseLargeArtwork(bool on);
    bool useGridSidebar() const { return value("useGridSidebar", false).toBool(); }
    void setUseGridSidebar(bool on);
    bool isTrackListVisible() const { return value("isTrackListVisible", true).toBool(); }
    void setIsTrackListVisible(bool on);
    bool isSidebarVisible() const { return value("isSidebarVisible", true).toBool(); }
    void setIsSidebarVisible(bool on);
    bool isArtworkPixelated() const { return value("isArtworkPixelated", false).toBool(); }
    void setIsArtworkPixelated(bool on);
    // Between 200 and 800, like the column it sizes.
    double sidebarWidth() const;

signals:
    void useLargeArtworkChanged();
    void useGridSidebarChanged();
    void isTrackListVisibleChanged();
    void isSidebarVisibleChanged();
    void isArtworkPixelatedChanged();
    void sidebarWidthChanged();

private:
    QVariant value(const char* key, const QVariant& fallback) const;
    void store(const char* key, bool on, void (AppSettings::*changed)());
};
