#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>

// One application per user and history: a second launch hands its arguments to the first
// over a local socket and ends.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    static constexpr int handOverTimeoutMs = 2000;
    explicit SingleInstance(QObject *parent = nullptr);

    // The socket's path: one per runtime folder and home (the history lives in the home).
    static QString socketPath();
    // True when this process is the first and now listens; false when it handed the
    // arguments to a running instance.
    bool claim(const QStringList &arguments);

signals:
    void argumentsReceived(const QStringList &arguments);

private:
    static bool handOver(const QStringList &arguments);
    void receive();

    QLocalServer m_server;
};
