#include "desktop/DesktopNotification.h"

#include <QDBusMessage>
#include <QVariantMap>

void DesktopNotification::notify(const QString &summary, const QString &body, QDBusConnection bus)
{
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // Application, replaces id, icon, summary, body, actions, hints, timeout (server's default).
    call << QStringLiteral("Zelvo") << 0u << QStringLiteral("zelvo") << summary << body
         << QStringList() << QVariantMap() << -1;
    bus.send(call);
}
