#include "support/MediaServer.h"

#include <QUrl>

MediaServer::MediaServer(const QString &root)
{
    m_process.setProgram(QStringLiteral("python3"));
    m_process.setArguments({QStringLiteral(ZELVO_TEST_SUPPORT_DIR "/media_server.py"), root});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QIODevice::ReadOnly);
    if (!m_process.waitForStarted(10000)) return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(10000)) {
    }
    m_port = static_cast<quint16>(m_process.readLine().trimmed().toUInt());
}

MediaServer::~MediaServer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString MediaServer::url(const QString &path) const
{
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(QStringLiteral("127.0.0.1"));
    url.setPort(m_port);
    url.setPath(QLatin1Char('/') + path);
    return url.toString(QUrl::FullyEncoded);
}
