#pragma once

#include <QMetaType>
#include <QString>

// Why a download run ended, as DownloadRegistry::downloadEnded reports it.
enum class RunOutcome {
    Completed,  // status 2, its files recorded
    Paused,     // status 0; what finished is recorded
    Failed,     // status 3; the reason is the task's failed_reason
    NotSetUp,   // no working folder holding yt-dlp; status 0
    Refused,    // never started: another download holds the task, or the history is not open
    Removed,    // removeWhenEnded removed the task once the run had ended
    SaveFailed, // the history could not record the end of the run; the reason says why
};

struct RunEnd {
    RunOutcome outcome = RunOutcome::Paused;
    QString reason;
};

Q_DECLARE_METATYPE(RunEnd)
