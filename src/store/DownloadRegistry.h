#pragma once

#include <QObject>

#include <atomic>
#include <map>
#include <memory>
#include <thread>

class TaskClaim;
class XTask;

// Owns every running download: one joinable thread per running task, which holds the task's
// claim for the whole run. Used from the main thread only; the end of a run is reported
// there. A start while the task's previous run is still ending waits for that end, so one
// task never runs two yt-dlp processes.
class DownloadRegistry : public QObject
{
    Q_OBJECT
public:
    explicit DownloadRegistry(QObject *parent = nullptr);
    // Stops and joins whatever still runs.
    ~DownloadRegistry() override;

    bool isRunning(const XTask &task) const;
    // Claims the task, sets status 1, saves and starts its download. NO when another
    // download (in this process or another) holds the task or the store cannot claim it.
    bool start(const std::shared_ptr<XTask> &task);
    void pause(const std::shared_ptr<XTask> &task);
    // Pauses every download, waits up to timeoutMs for the runs to end, then kills the
    // child groups still there, joins every thread and saves.
    void stopAll(int timeoutMs = 5000);

signals:
    void downloadEnded(std::shared_ptr<XTask> task, bool completed);

private:
    struct Run {
        std::shared_ptr<XTask> task;
        std::unique_ptr<TaskClaim> claim;
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
        std::atomic<bool> completed{false};
        bool restartWanted = false;
    };

    void launch(Run &run);
    void runEnded(XTask *key);
    void joinAll(int timeoutMs);

    std::map<XTask *, std::unique_ptr<Run>> m_runs;
};
