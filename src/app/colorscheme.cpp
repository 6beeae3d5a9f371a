#include "app/colorscheme.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPalette>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearance = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x2b, 0x2b, 0x2e);
    const QColor base(0x1f, 0x1f, 0x22);
    const QColor text(0xe8, 0xe8, 0xea);
    const QColor disabled(0x80, 0x80, 0x84);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabled);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x36, 0x36, 0x3a));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, QColor(0x48, 0x48, 0x4c));
    palette.setColor(QPalette::Midlight, QColor(0x3c, 0x3c, 0x40));
    palette.setColor(QPalette::Mid, QColor(0x26, 0x26, 0x28));
    palette.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x3d, 0x8b, 0xe8));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x6c, 0xa8, 0xf0));
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}

// The portal answers 1 for "prefer dark"; the value may come wrapped in
// one or two variants depending on the method.
bool prefersDark(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    return value.toUInt() == 1;
}

class PortalColorScheme : public QObject {
    Q_OBJECT
public:
    explicit PortalColorScheme(QObject* parent) : QObject(parent) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected())
            return;
        bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"),
                    this, SLOT(settingChanged(QString, QString, QDBusVariant)));
        QDBusMessage read = QDBusMessage::createMethodCall(
            portalService, portalPath, settingsInterface, QStringLiteral("Read"));
        read << appearance << colorSchemeKey;
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read, 2000), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher] {
            QDBusPendingReply<QVariant> reply = *watcher;
            if (!reply.isError())
                applyColorScheme(prefersDark(reply.value()));
            watcher->deleteLater();
        });
    }

private slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value) {
        if (group == appearance && key == colorSchemeKey)
            applyColorScheme(prefersDark(value.variant()));
    }
};

} // namespace

void applyColorScheme(bool dark) {
    QGuiApplication::setPalette(dark ? darkPalette() : QPalette());
}

void followDesktopColorScheme(QGuiApplication& app) {
    const QByteArray forced = qgetenv("TOLVANE_COLOR_SCHEME");
    if (forced == "dark" || forced == "light")
        return applyColorScheme(forced == "dark");
    if (qgetenv("GTK_THEME").endsWith(":dark"))
        applyColorScheme(true);
    new PortalColorScheme(&app);
}

#include "colorscheme.moc"
