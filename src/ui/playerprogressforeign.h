#pragma once

#include "app/playerprogress.h"

#include <QQmlEngine>
#include <QtQml/qqmlregistration.h>

// The player's progress as a type the views may hold and hand on.
struct PlayerProgressForeign {
    Q_GADGET
    QML_FOREIGN(PlayerProgress)
    QML_ANONYMOUS
};
