#pragma once

#include <QString>

// Receives what a download run reports. Calls arrive on the thread that runs the download,
// never on the main thread.
class NSYtdlpTaskDelegate
{
public:
    virtual ~NSYtdlpTaskDelegate() = default;
    // yt-dlp reported an error (or the run failed without one); at most once per reading pass.
    virtual void downloadStoppedWithReason(const QString &reason) = 0;
    // One progress line: fraction 0..1, bytes of the current file (-1 when finished),
    // bytes per second.
    virtual void progress(float progress, float size, float speed)
    {
        Q_UNUSED(progress);
        Q_UNUSED(size);
        Q_UNUSED(speed);
    }
    // yt-dlp named a file it is about to write ("[download] Destination:"); until it is
    // finished it lies on the disk as pieces beside that name.
    virtual void destinationNamed(const QString &path) { Q_UNUSED(path); }
};
