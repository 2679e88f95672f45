#pragma once

#include <QString>

#include <memory>

// A running download's hold on its task, shared by every process that uses the same
// history: an flock on "<folder>/<task id>.lock". The system drops it when the holder
// ends, however it ends, so a task claimed by a live process is never taken for an
// interrupted one, and a crashed one leaves nothing behind that needs clearing.
class TaskClaim
{
public:
    ~TaskClaim();
    TaskClaim(const TaskClaim &) = delete;
    TaskClaim &operator=(const TaskClaim &) = delete;

    // The claim, or null when someone (this process included) holds it already.
    static std::unique_ptr<TaskClaim> take(const QString &folder, qint64 taskId);
    static bool isHeld(const QString &folder, qint64 taskId);

private:
    TaskClaim(int descriptor, QString path);
    static QString lockPath(const QString &folder, qint64 taskId);

    int m_descriptor;
    QString m_path;
};
