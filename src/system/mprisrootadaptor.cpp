#include "system/mprisrootadaptor.h"

#include "system/mprisservice.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

MprisRootAdaptor::MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service) {}

QStringList MprisRootAdaptor::supportedMimeTypes() const {
    // The audio types the library lists, and folders (OpenUri plays them).
    return {QStringLiteral("audio/mpeg"),  QStringLiteral("audio/mp4"),
            QStringLiteral("audio/x-m4a"), QStringLiteral("audio/aac"),
            QStringLiteral("audio/flac"),  QStringLiteral("audio/x-wav"),
            QStringLiteral("audio/wav"),   QStringLiteral("inode/directory")};
}

void MprisRootAdaptor::Raise() {
    if (!qGuiApp)
        return;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() && !window->transientParent()) {
            window->raise();
            window->requestActivate();
        }
    }
}

void MprisRootAdaptor::Quit() {
    // After the reply has gone out, like every other remote command.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
}
