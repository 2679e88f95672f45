#pragma once

#include <QString>

#include <memory>

// A running download's hold on its task, or on a file it writes, shared by every process
// that uses the same history: an flock on "<folder>/<task id>.lock" or
// "<folder>/file-<hash of the path>.lock". The system drops it when the holder ends, however
// it ends, so a task claimed by a live process is never taken for an interrupted one, two
// downloads never write one file, and a crashed holder leaves nothing that needs clearing.
class TaskClaim
{
public:
    ~TaskClaim();
    TaskClaim(const TaskClaim &) = delete;
    TaskClaim &operator=(const TaskClaim &) = delete;

    // The claim, or null when someone (this process included) holds it already.
    static std::unique_ptr<TaskClaim> take(const QString &folder, qint64 taskId);
    static bool isHeld(const QString &folder, qint64 taskId);
    // The same for a file, by its absolute path.
    static std::unique_ptr<TaskClaim> takeFile(const QString &folder, const QString &filePath);
    static bool isFileHeld(const QString &folder, const QString &filePath);

private:
    TaskClaim(int descriptor, QString path);
    static std::unique_ptr<TaskClaim> takeLock(const QString &folder, const QString &name);
    static bool isLockHeld(const QString &folder, const QString &name);
    static QString taskLockName(qint64 taskId);
    static QString fileLockName(const QString &filePath);

    int m_descriptor;
    QString m_path;
};
