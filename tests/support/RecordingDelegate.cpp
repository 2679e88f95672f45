#include "support/RecordingDelegate.h"

void RecordingDelegate::downloadStoppedWithReason(const QString &reason)
{
    std::lock_guard locker(m_mutex);
    m_reasons << reason;
    m_threads << QThread::currentThread();
}

void RecordingDelegate::progress(float progress, float size, float speed)
{
    std::lock_guard locker(m_mutex);
    m_progress.append({progress, size, speed});
    m_threads << QThread::currentThread();
}

QStringList RecordingDelegate::reasons() const
{
    std::lock_guard locker(m_mutex);
    return m_reasons;
}

QList<RecordingDelegate::Progress> RecordingDelegate::progressReports() const
{
    std::lock_guard locker(m_mutex);
    return m_progress;
}

bool RecordingDelegate::calledOnThread(const QThread *thread) const
{
    std::lock_guard locker(m_mutex);
    return m_threads.contains(thread);
}

void RecordingDelegate::clear()
{
    std::lock_guard locker(m_mutex);
    m_reasons.clear();
    m_progress.clear();
    m_threads.clear();
}
