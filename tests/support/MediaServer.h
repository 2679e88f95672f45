#pragma once

#include <QProcess>
#include <QString>

// The local HTTP server of the tests (media_server.py): serves one folder on 127.0.0.1 with
// Range requests and "/slow/RATE/..." for a rate-limited copy of any file. Ends with the
// object.
class MediaServer
{
public:
    explicit MediaServer(const QString &root);
    ~MediaServer();
    MediaServer(const MediaServer &) = delete;
    MediaServer &operator=(const MediaServer &) = delete;

    bool isRunning() const { return m_port > 0; }
    // "http://127.0.0.1:PORT/" + path, the path percent-encoded as a browser would.
    QString url(const QString &path) const;

private:
    QProcess m_process;
    quint16 m_port = 0;
};
