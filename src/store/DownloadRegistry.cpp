#include "store/DownloadRegistry.h"

#include "download/NSYtdlpTask.h"
#include "platform/Log.h"
#include "platform/ToolCancellation.h"
#include "store/XCoreDataManagement.h"

#include <chrono>
#include <utility>
#include <vector>

DownloadRegistry::DownloadRegistry(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<RunEnd>();
    connect(this, &DownloadRegistry::runFinished, this, &DownloadRegistry::collectFinishedRuns,
            Qt::QueuedConnection);
}

DownloadRegistry::~DownloadRegistry()
{
    stopAll();
}

bool DownloadRegistry::isRunning(const XTask &task) const
{
    return m_runs.count(const_cast<XTask *>(&task)) > 0;
}

int DownloadRegistry::runningCount() const
{
    int count = 0;
    for (const auto &[key, run] : m_runs)
        if (!run->paused) ++count;
    return count;
}

DownloadRegistry::StartAnswer DownloadRegistry::start(const std::shared_ptr<XTask> &task)
{
    if (!task) return StartAnswer::Refused;
    const auto found = m_runs.find(task.get());
    if (found != m_runs.end()) {
        Run &run = *found->second;
        if (run.removeWanted) {
            refuse(task);
            return StartAnswer::Refused;
        }
        if (!run.paused) return StartAnswer::AlreadyRunning;
        run.restartWanted = true;
        return StartAnswer::Queued;
    }
    XCoreDataManagement *store = task->store();
    auto claim = store ? store->claimTask(*task) : nullptr;
    if (!claim) {
        refuse(task);
        return StartAnswer::Refused;
    }
    auto run = std::make_unique<Run>();
    run->task = task;
    run->claim = std::move(claim);
    launch(*run);
    m_runs.emplace(task.get(), std::move(run));
    return StartAnswer::Started;
}

void DownloadRegistry::refuse(const std::shared_ptr<XTask> &task)
{
    QString reason;
    const XCoreDataManagement *store = task->store();
    if (!store || !store->isOpen())
        reason = QStringLiteral("the history is not open");
    else if (!task->rowId())
        reason = QStringLiteral("the task is not saved in the history");
    else if (isRunning(*task))
        reason = QStringLiteral("the task is being removed");
    else
        reason = QStringLiteral("another process is downloading the task");
    Log::line(zelvoStore(), QStringLiteral("DownloadRegistry: %1.").arg(reason));
    QMetaObject::invokeMethod(
        this,
        [this, task, reason] {
            emit downloadEnded(task, {RunOutcome::Refused, reason});
        },
        Qt::QueuedConnection);
}

void DownloadRegistry::launch(Run &run)
{
    run.serial = ++m_lastSerial;
    run.finished = false;
    run.paused = false;
    run.restartWanted = false;
    run.tools = std::make_shared<ToolCancellation>();
    run.task->setDownloading();
    run.task->save();
    // The child is spawned and waited for on this thread, so its death signal follows it.
    run.thread = std::thread([this, &run, task = run.task, serial = run.serial, tools = run.tools] {
        const RunOutcome outcome = [&] {
            ToolCancellation::Scope scope(*tools);
            return task->startDownload();
        }();
        {
            std::lock_guard locker(m_endMutex);
            run.outcome = outcome;
            run.finished = true;
        }
        m_endCondition.notify_all();
        emit runFinished(QPrivateSignal());
    });
}

// The end itself crosses threads under m_endMutex (run.finished), so that ThreadSanitizer sees
// it; the queued signal carries nothing.
void DownloadRegistry::collectFinishedRuns()
{
    std::vector<std::pair<XTask *, quint64>> finished;
    {
        std::lock_guard locker(m_endMutex);
        for (const auto &[key, run] : m_runs) {
            if (run->finished) finished.emplace_back(key, run->serial);
        }
    }
    for (const auto &[key, serial] : finished)
        runEnded(key, serial);
}

void DownloadRegistry::runEnded(XTask *key, quint64 serial)
{
    const auto found = m_runs.find(key);
    // Already joined by stopAll (a later run of the task has another serial).
    if (found == m_runs.end() || found->second->serial != serial) return;
    Run &run = *found->second;
    run.thread.join();
    if (run.restartWanted && !run.removeWanted && run.outcome != RunOutcome::Completed) {
        launch(run);
        return;
    }
    const std::shared_ptr<XTask> task = run.task;
    const RunOutcome outcome = run.outcome;
    const bool remove = run.removeWanted;
    m_runs.erase(found); // drops the claim
    emit downloadEnded(task, endOf(task, outcome, remove));
}

RunEnd DownloadRegistry::endOf(const std::shared_ptr<XTask> &task, RunOutcome outcome,
                               bool remove) const
{
    if (remove) {
        if (removeTask(task)) return {RunOutcome::Removed, {}};
        return {RunOutcome::SaveFailed, QStringLiteral("the task could not be removed")};
    }
    // Saves queued by the run's thread report nothing; this one, on the main thread, says
    // whether the history now holds the end of the run.
    if (!task->save()) {
        const XCoreDataManagement *store = task->store();
        return {RunOutcome::SaveFailed,
                QStringLiteral("the history could not be saved: %1")
                    .arg(store ? store->lastSaveError() : QStringLiteral("the task is in none"))};
    }
    if (outcome == RunOutcome::Failed) return {outcome, task->failed_reason()};
    return {outcome, {}};
}

bool DownloadRegistry::removeTask(const std::shared_ptr<XTask> &task)
{
    XCoreDataManagement *store = task->store();
    return store && store->removeItem(task);
}

DownloadRegistry::PauseAnswer DownloadRegistry::pause(const std::shared_ptr<XTask> &task)
{
    if (!task) return PauseAnswer::NotRunning;
    const auto found = m_runs.find(task.get());
    if (found == m_runs.end()) return PauseAnswer::NotRunning;
    Run &run = *found->second;
    run.restartWanted = false;
    // Once yt-dlp has ended, stopping it saves nothing and would leave finished files on a
    // task that is not completed.
    if (const auto worker = task->worker(); worker && worker->childHasEnded())
        return PauseAnswer::Completing;
    if (!task->pauseDownload()) return PauseAnswer::Completing;
    run.paused = true;
    return PauseAnswer::Paused;
}

DownloadRegistry::RemoveAnswer DownloadRegistry::removeWhenEnded(const std::shared_ptr<XTask> &task)
{
    if (!task) return RemoveAnswer::Failed;
    const auto found = m_runs.find(task.get());
    if (found == m_runs.end())
        return removeTask(task) ? RemoveAnswer::Removed : RemoveAnswer::Failed;
    Run &run = *found->second;
    run.removeWanted = true;
    run.restartWanted = false;
    // Whatever phase the run is in, completing it is wasted work now.
    run.paused = task->pauseDownload();
    return RemoveAnswer::RemovedWhenEnded;
}

void DownloadRegistry::stopAll(int timeoutMs)
{
    for (auto &[key, run] : m_runs)
        pause(run->task);
    joinAll(timeoutMs);
}

bool DownloadRegistry::allFinished() const
{
    for (const auto &[key, run] : m_runs) {
        if (!run->finished) return false;
    }
    return true;
}

void DownloadRegistry::joinAll(int timeoutMs)
{
    {
        std::unique_lock locker(m_endMutex);
        m_endCondition.wait_for(locker, std::chrono::milliseconds(timeoutMs),
                                [this] { return allFinished(); });
        for (auto &[key, run] : m_runs) {
            if (run->finished) continue;
            if (const auto worker = run->task->worker()) worker->kill();
            run->tools->cancel();
        }
    }
    for (auto &[key, run] : m_runs) {
        run->thread.join();
        run->claim.reset();
        if (run->removeWanted)
            removeTask(run->task);
        else
            run->task->save();
    }
    m_runs.clear();
}
