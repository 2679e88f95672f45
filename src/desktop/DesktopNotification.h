#pragma once

#include <QDBusConnection>
#include <QString>

// A desktop notification through org.freedesktop.Notifications on the session bus. Sent
// without waiting for an answer; without a bus or a notification service nothing shows and
// nothing is reported.
class DesktopNotification
{
public:
    static void notify(const QString &summary, const QString &body,
                       QDBusConnection bus = QDBusConnection::sessionBus());
};
