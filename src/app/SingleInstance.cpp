#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

SingleInstance::SingleInstance(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::receive);
}

QString SingleInstance::socketPath()
{
    const QByteArray home =
        QCryptographicHash::hash(QDir::homePath().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(12);
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/zelvo-%1.socket").arg(QString::fromLatin1(home));
}

bool SingleInstance::claim(const QStringList &arguments)
{
    if (handOver(arguments)) return false;
    // Nobody answered: a socket file left by a crashed instance is stale.
    QLocalServer::removeServer(socketPath());
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    // Without the socket the application still runs, only without the hand-over.
    if (!m_server.listen(socketPath()))
        qInfo("SingleInstance cannot listen: %s", qPrintable(m_server.errorString()));
    return true;
}

bool SingleInstance::handOver(const QStringList &arguments)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(handOverTimeoutMs)) return false;
    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream << arguments;
    socket.write(message);
    socket.disconnectFromServer();
    return socket.state() == QLocalSocket::UnconnectedState ||
           socket.waitForDisconnected(handOverTimeoutMs);
}

void SingleInstance::receive()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, [this, socket] {
            QStringList arguments;
            QDataStream stream(socket->readAll());
            stream >> arguments;
            if (stream.status() == QDataStream::Ok) emit argumentsReceived(arguments);
            socket->deleteLater();
        });
    }
}
