#include "app/usersettings.h"

#include <QCoreApplication>
#include <QSettings>

QSettings& userSettings() {
    static QSettings settings;
    // Changes still pending at quit reach the disk while the application runs.
    static const bool syncsAtQuit = [] {
        if (QCoreApplication* application = QCoreApplication::instance())
            QObject::connect(application, &QCoreApplication::aboutToQuit, &settings,
                             [] { settings.sync(); });
        return true;
    }();
    Q_UNUSED(syncsAtQuit)
    return settings;
}
