#include "app/singleinstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QWindow>
#include <cstdio>

namespace {
constexpr int answerTimeoutMs = 10000;
}

SingleInstance::SingleInstance(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {}

std::optional<int> SingleInstance::claimOrHandOver(const QString& folder) {
    if (!m_bus.isConnected())
        return std::nullopt;
    // The object is in place before the name, so a call that finds the name
    // finds the object too.
    m_bus.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots);
    if (m_bus.registerService(serviceName))
        return std::nullopt;
    m_bus.unregisterObject(objectPath);
    QDBusConnectionInterface* bus = m_bus.interface();
    if (!bus || !bus->isServiceRegistered(serviceName))
        return std::nullopt; // refused for another reason: nobody to hand over to

    QDBusMessage call = QDBusMessage::createMethodCall(
        serviceName, objectPath, QStringLiteral("org.tolvane.Tolvane"), QStringLiteral("Open"));
    call << folder;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, answerTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        std::printf("Tolvane is already running; handed over to it.\n");
        std::fflush(stdout);
        return 0;
    }
    std::fprintf(stderr, "tolvane: the running instance did not answer: %s\n",
                 qPrintable(reply.errorMessage()));
    return 1;
}

void SingleInstance::Open(const QString& folder) {
    if (!folder.isEmpty() && m_folderHandler)
        m_folderHandler(folder);
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible()) {
            window->raise();
            window->requestActivate();
        }
    }
}
