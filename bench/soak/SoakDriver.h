#pragma once

#include "store/DownloadRegistry.h"

#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QSet>

#include <memory>

class XTask;

// The downloads of the soak, in a process of their own over the shared history: every task
// that has not finished runs through the download registry, at most eight at once, and is
// paused and resumed as often as its note still says. Quits when every task has finished.
class SoakDriver : public QObject
{
    Q_OBJECT
public:
    static constexpr int maximumRunning = 8;

    explicit SoakDriver(quint32 seed);
    // Creates the tasks of the cases file (first run only) and starts; false when it cannot.
    bool begin(const QString &casesFile);

private:
    bool createTasks(const QString &casesFile);
    void startWaiting();
    void schedulePause(const std::shared_ptr<XTask> &task);
    void pauseNow(const std::shared_ptr<XTask> &task);
    void ended(const std::shared_ptr<XTask> &task, const RunEnd &end);
    void finish(const std::shared_ptr<XTask> &task, const char *how);

    static int pausesLeft(const XTask &task);
    static void setPausesLeft(XTask &task, int pauses);

    DownloadRegistry m_registry;
    QRandomGenerator m_random;
    QList<std::shared_ptr<XTask>> m_waiting;
    QSet<const XTask *> m_pausedByUs;
    int m_running = 0;
    int m_unfinished = 0;
};
