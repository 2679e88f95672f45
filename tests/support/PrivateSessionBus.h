#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>

// A session bus of the test's own (a dbus-daemon it starts), on which desktop services are
// faked without touching the user's session. Its connections and daemon end with it.
class PrivateSessionBus
{
public:
    static bool available();
    PrivateSessionBus();
    ~PrivateSessionBus();

    // Empty when the daemon did not start.
    QString address() const { return m_address; }
    // A connection of its own under the name, as another program on the bus would have.
    QDBusConnection connect(const QString &name);

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_names;
};
