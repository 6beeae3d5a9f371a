#pragma once

#include <QObject>
#include <QString>

// Application-wide notifications that any view or object may follow.
class AppNotifications : public QObject {
    Q_OBJECT
public:
    static AppNotifications& shared() {
        static AppNotifications instance;
        return instance;
    }

signals:
    // After every gapless advance of the player to its next item.
    void playerTrackChanged();
    // A folder's artwork was saved; carries the folder's absolute URL string.
    void artworkUpdated(const QString& folderId);
    // The Help menu asks for the help window.
    void openHelp();
};
