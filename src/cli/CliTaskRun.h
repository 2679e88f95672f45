#pragma once

#include "cli/CliProgress.h"
#include "store/DownloadRegistry.h"

#include <memory>

class XTask;

// One task's download, run through the registry while the main thread shows its progress and
// turns Ctrl-C, SIGTERM and SIGHUP into a pause. Ends with the exit status of the command.
class CliTaskRun
{
public:
    enum ExitStatus { Success = 0, Failure = 1, UsageError = 2, Paused = 130 };

    explicit CliTaskRun(std::shared_ptr<XTask> task);
    int execute();

    // The text for a system without a working folder holding yt-dlp.
    static QString notSetUpText();

private:
    void onTermination(int count);
    int outcome(const RunEnd &end);
    void printFiles() const;
    void sayWhatArrived() const;

    std::shared_ptr<XTask> m_task;
    DownloadRegistry m_registry;
    CliProgress m_progress{stderr};
};
