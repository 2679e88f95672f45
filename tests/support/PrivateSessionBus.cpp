#include "support/PrivateSessionBus.h"

#include <QStandardPaths>

// Tests may narrow PATH to their fakes; the daemon is looked for where the system keeps it too.
static QString daemonProgram()
{
    const QString name = QStringLiteral("dbus-daemon");
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() ? QStandardPaths::findExecutable(name, {"/usr/bin", "/bin"}) : onPath;
}

bool PrivateSessionBus::available()
{
    return !daemonProgram().isEmpty();
}

PrivateSessionBus::PrivateSessionBus()
{
    if (!available()) return;
    m_daemon.start(daemonProgram(), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                     QStringLiteral("--print-address")});
    if (m_daemon.waitForReadyRead(5000))
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
}

PrivateSessionBus::~PrivateSessionBus()
{
    for (const QString &name : m_names)
        QDBusConnection::disconnectFromBus(name);
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

QDBusConnection PrivateSessionBus::connect(const QString &name)
{
    m_names.append(name);
    return QDBusConnection::connectToBus(m_address, name);
}
