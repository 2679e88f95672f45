#pragma once

#include <QStringList>

#include <atomic>
#include <thread>

class NSYtdlpTask;

// Runs NSYtdlpTask::downloadURL on a thread of its own, as the application does, so the
// test's main thread stays free to watch, stop, and check where callbacks arrive.
class DownloadRun
{
public:
    DownloadRun(NSYtdlpTask &task, const QString &url);
    ~DownloadRun();
    DownloadRun(const DownloadRun &) = delete;
    DownloadRun &operator=(const DownloadRun &) = delete;

    // Waits up to timeoutMs for the run to end; true when it did.
    bool wait(int timeoutMs);
    QStringList files() const;

private:
    std::atomic<bool> m_finished{false};
    QStringList m_files;
    // Last: the thread starts in the constructor and writes the members above.
    std::thread m_thread;
};

// Runs one download to its end and returns its files.
QStringList downloadNow(NSYtdlpTask &task, const QString &url);

// Ids of the processes whose command line mentions text (from /proc).
QList<qint64> processesMentioning(const QString &text);
