#include "store/DownloadRegistry.h"

#include "download/NSYtdlpTask.h"
#include "platform/Log.h"
#include "store/XCoreDataManagement.h"

#include <QElapsedTimer>
#include <QThread>

DownloadRegistry::DownloadRegistry(QObject *parent) : QObject(parent) {}

DownloadRegistry::~DownloadRegistry()
{
    stopAll();
}

bool DownloadRegistry::isRunning(const XTask &task) const
{
    return m_runs.count(const_cast<XTask *>(&task)) > 0;
}

bool DownloadRegistry::start(const std::shared_ptr<XTask> &task)
{
    if (!task) return false;
    const auto found = m_runs.find(task.get());
    if (found != m_runs.end()) {
        // Still ending after a pause: start again once it has.
        found->second->restartWanted = true;
        return true;
    }
    XCoreDataManagement *store = task->store();
    auto claim = store ? store->claimTask(*task) : nullptr;
    if (!claim) {
        Log::line(QStringLiteral("DownloadRegistry: the task is downloading elsewhere."));
        return false;
    }
    auto run = std::make_unique<Run>();
    run->task = task;
    run->claim = std::move(claim);
    launch(*run);
    m_runs.emplace(task.get(), std::move(run));
    return true;
}

void DownloadRegistry::launch(Run &run)
{
    run.restartWanted = false;
    run.finished = std::make_shared<std::atomic<bool>>(false);
    run.task->setDownloading();
    run.task->save();
    // The child is spawned and waited for on this thread, so its death signal follows it.
    run.thread = std::thread([this, &run, task = run.task, finished = run.finished] {
        run.completed.store(task->startDownload());
        finished->store(true);
        QMetaObject::invokeMethod(
            this, [this, key = task.get()] { runEnded(key); }, Qt::QueuedConnection);
    });
}

void DownloadRegistry::runEnded(XTask *key)
{
    const auto found = m_runs.find(key);
    if (found == m_runs.end()) return; // already joined by stopAll
    Run &run = *found->second;
    run.thread.join();
    if (run.restartWanted && !run.completed.load()) {
        launch(run);
        return;
    }
    const std::shared_ptr<XTask> task = run.task;
    const bool completed = run.completed.load();
    m_runs.erase(found); // drops the claim
    task->save();
    emit downloadEnded(task, completed);
}

void DownloadRegistry::pause(const std::shared_ptr<XTask> &task)
{
    if (!task) return;
    const auto found = m_runs.find(task.get());
    if (found != m_runs.end()) found->second->restartWanted = false;
    task->pauseDownload();
}

void DownloadRegistry::stopAll(int timeoutMs)
{
    for (auto &[key, run] : m_runs) {
        run->restartWanted = false;
        run->task->pauseDownload();
    }
    joinAll(timeoutMs);
}

void DownloadRegistry::joinAll(int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    for (auto &[key, run] : m_runs) {
        while (!run->finished->load() && waited.elapsed() < timeoutMs)
            QThread::msleep(10);
        if (!run->finished->load()) {
            if (const auto worker = run->task->worker()) worker->kill();
        }
        run->thread.join();
        run->task->save();
    }
    m_runs.clear();
}
