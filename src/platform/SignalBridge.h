#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a Qt signal on the main thread (through a self-pipe), so
// the reaction can use any code, not only what is safe inside a signal handler.
class SignalBridge : public QObject
{
    Q_OBJECT
public:
    explicit SignalBridge(QObject *parent = nullptr);
    ~SignalBridge() override;

signals:
    // count: how many termination signals have arrived so far (1 for the first).
    void terminationRequested(int count);

private:
    void readSignals();

    QSocketNotifier *m_notifier = nullptr;
    int m_count = 0;
};
