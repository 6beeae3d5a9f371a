#pragma once

#include "app/appnotifications.h"

#include <QQmlEngine>
#include <QtQml/qqmlregistration.h>

// The application-wide notifications as the QML singleton AppNotifications.
struct AppNotificationsForeign {
    Q_GADGET
    QML_FOREIGN(AppNotifications)
    QML_NAMED_ELEMENT(AppNotifications)
    QML_SINGLETON

public:
    static AppNotifications* create(QQmlEngine*, QJSEngine*) {
        AppNotifications* shared = &AppNotifications::shared();
        QJSEngine::setObjectOwnership(shared, QJSEngine::CppOwnership);
        return shared;
    }
};
