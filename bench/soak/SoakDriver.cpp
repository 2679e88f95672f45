#include "SoakDriver.h"

#include "store/XCoreDataManagement.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace
{

const QString pausesMark = QStringLiteral("pauses left: ");

} // namespace

SoakDriver::SoakDriver(quint32 seed) : m_random(seed)
{
    connect(&m_registry, &DownloadRegistry::downloadEnded, this, &SoakDriver::ended);
}

bool SoakDriver::begin(const QString &casesFile)
{
    XCoreDataManagement &store = XCoreDataManagement::shared();
    if (!store.isOpen()) return false;
    if (store.existHistorys().isEmpty() && !createTasks(casesFile)) return false;
    // Oldest first, as they were created; the opening has put interrupted ones back to 0.
    const QList<std::shared_ptr<XTask>> tasks = store.existHistorys();
    for (auto it = tasks.crbegin(); it != tasks.crend(); ++it) {
        const qint64 status = (*it)->currentStatus();
        if (status != XTask::StatusCompleted && status != XTask::StatusFailed) m_waiting << *it;
    }
    m_unfinished = int(m_waiting.size());
    std::printf("driver: %d of %d tasks to run\n", m_unfinished, int(tasks.size()));
    std::fflush(stdout);
    QTimer::singleShot(0, this, &SoakDriver::startWaiting);
    if (m_unfinished == 0) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    return true;
}

// Each line of the cases file: "best" or "plain", a tab, the URL.
bool SoakDriver::createTasks(const QString &casesFile)
{
    QFile file(casesFile);
    if (!file.open(QIODevice::ReadOnly)) return false;
    XCoreDataManagement &store = XCoreDataManagement::shared();
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 2) continue;
        const auto task = store.creatTaskURL(QString::fromUtf8(fields[1]), QString(), QString());
        if (!task) return false;
        task->setTryBestVideo(fields[0] == "best");
        task->setMustMP4Format(false);
        setPausesLeft(*task, m_random.bounded(4));
    }
    return store.save();
}

void SoakDriver::startWaiting()
{
    while (m_running < maximumRunning && !m_waiting.isEmpty()) {
        const std::shared_ptr<XTask> task = m_waiting.takeFirst();
        // A refused start ends too, with its reason.
        const bool started = m_registry.start(task) == DownloadRegistry::StartAnswer::Started;
        ++m_running;
        if (started && pausesLeft(*task) > 0) schedulePause(task);
    }
}

void SoakDriver::schedulePause(const std::shared_ptr<XTask> &task)
{
    QTimer::singleShot(200 + m_random.bounded(1800), this, [this, task] { pauseNow(task); });
}

void SoakDriver::pauseNow(const std::shared_ptr<XTask> &task)
{
    if (task->currentStatus() != XTask::StatusDownloading) return;
    if (m_registry.pause(task) != DownloadRegistry::PauseAnswer::Paused) return;
    m_pausedByUs.insert(task.get());
    setPausesLeft(*task, pausesLeft(*task) - 1);
    task->save();
    std::printf("driver: paused %s\n", qPrintable(task->url()));
    std::fflush(stdout);
}

void SoakDriver::ended(const std::shared_ptr<XTask> &task, const RunEnd &end)
{
    --m_running;
    const bool pausedByUs = m_pausedByUs.remove(task.get());
    if (end.outcome == RunOutcome::Completed)
        finish(task, "completed");
    else if (end.outcome == RunOutcome::Failed)
        finish(task, "failed");
    else if (end.outcome == RunOutcome::Refused)
        finish(task, "refused");
    else if (pausedByUs && end.outcome == RunOutcome::Paused)
        QTimer::singleShot(100 + m_random.bounded(400), this, [this, task] {
            m_waiting << task; // resumed later, behind the tasks already waiting
            startWaiting();
        });
    else
        finish(task, "ended without completing");
    startWaiting();
}

void SoakDriver::finish(const std::shared_ptr<XTask> &task, const char *how)
{
    std::printf("driver: %s %s\n", qPrintable(task->url()), how);
    std::fflush(stdout);
    if (--m_unfinished == 0) QCoreApplication::quit();
}

int SoakDriver::pausesLeft(const XTask &task)
{
    const QString note = task.note();
    return note.startsWith(pausesMark) ? note.mid(pausesMark.size()).toInt() : 0;
}

void SoakDriver::setPausesLeft(XTask &task, int pauses)
{
    task.setNote(pausesMark + QString::number(pauses));
}
