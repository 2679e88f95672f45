#include "support/DownloadRun.h"

#include "download/NSYtdlpTask.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

DownloadRun::DownloadRun(NSYtdlpTask &task, const QString &url)
    : m_thread([this, &task, url] {
          m_files = task.downloadURL(url);
          m_finished.store(true);
      })
{
}

DownloadRun::~DownloadRun()
{
    m_thread.join();
}

bool DownloadRun::wait(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_finished.load() && !deadline.hasExpired())
        QThread::msleep(10);
    return m_finished.load();
}

QStringList DownloadRun::files() const
{
    return m_finished.load() ? m_files : QStringList();
}

QStringList downloadNow(NSYtdlpTask &task, const QString &url)
{
    DownloadRun run(task, url);
    run.wait(-1);
    return run.files();
}

QList<qint64> processesMentioning(const QString &text)
{
    QList<qint64> found;
    const QByteArray needle = text.toUtf8();
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid) continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(needle)) found << pid;
    }
    return found;
}
