#pragma once

#include "store/RunEnd.h"

#include <QObject>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

class TaskClaim;
class ToolCancellation;
class XTask;

// Owns every running download: one joinable thread per running task, which holds the task's
// claim for the whole run. Used from the main thread only; the end of a run is reported
// there, once per start that answered Started or Refused. One task never runs two yt-dlp
// processes: a start behind a paused run waits for its end, a start behind any other run
// changes nothing.
class DownloadRegistry : public QObject
{
    Q_OBJECT
public:
    enum class StartAnswer {
        Started,
        Queued,         // behind a paused run still ending; starts again when it has ended
        AlreadyRunning, // nothing changes
        Refused,        // a Refused end follows, with the reason
    };
    enum class PauseAnswer {
        Paused,
        Completing, // yt-dlp has ended and its files are being recorded: the run completes
        NotRunning, // nothing changes
    };
    enum class RemoveAnswer { Removed, RemovedWhenEnded, Failed };

    explicit DownloadRegistry(QObject *parent = nullptr);
    // Stops and joins whatever still runs.
    ~DownloadRegistry() override;

    bool isRunning(const XTask &task) const;
    // The runs a pause would stop (not those already pausing).
    int runningCount() const;
    // Claims the task, sets status 1, saves and starts its download.
    StartAnswer start(const std::shared_ptr<XTask> &task);
    PauseAnswer pause(const std::shared_ptr<XTask> &task);
    // Removes the task with its files and records (removeItem): at once when it does not run
    // here, else it pauses the run and removes the task once the run's thread has ended,
    // files the run recorded meanwhile included; that end is reported as Removed.
    RemoveAnswer removeWhenEnded(const std::shared_ptr<XTask> &task);
    // Pauses every download, waits up to timeoutMs for the runs to end (recording their files
    // included), then kills the child groups still there, joins every thread and saves.
    // Reports no end.
    void stopAll(int timeoutMs = 5000);

signals:
    void downloadEnded(std::shared_ptr<XTask> task, RunEnd end);
    // From a run's thread: its end is recorded (see collectFinishedRuns).
    void runFinished(QPrivateSignal);

private:
    struct Run {
        std::shared_ptr<XTask> task;
        std::unique_ptr<TaskClaim> claim;
        std::thread thread;
        // Ends the tools (ffprobe, ffmpeg) the run's recording waits on.
        std::shared_ptr<ToolCancellation> tools;
        quint64 serial = 0;
        // Written by the run's thread under m_endMutex.
        bool finished = false;
        RunOutcome outcome = RunOutcome::Paused;
        // Main thread only.
        bool paused = false;
        bool restartWanted = false;
        bool removeWanted = false;
    };

    void launch(Run &run);
    void collectFinishedRuns();
    void runEnded(XTask *key, quint64 serial);
    RunEnd endOf(const std::shared_ptr<XTask> &task, RunOutcome outcome, bool remove) const;
    void refuse(const std::shared_ptr<XTask> &task);
    static bool removeTask(const std::shared_ptr<XTask> &task);
    bool allFinished() const;
    void joinAll(int timeoutMs);

    std::map<XTask *, std::unique_ptr<Run>> m_runs;
    quint64 m_lastSerial = 0;
    mutable std::mutex m_endMutex;
    std::condition_variable m_endCondition;
};
