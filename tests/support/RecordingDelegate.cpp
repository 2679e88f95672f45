#include "support/RecordingDelegate.h"

namespace
{

// A copy not shared with the list the run's thread appends to: Qt decides whether a list may
// grow in place with a relaxed read of its sharing count, which orders nothing against the
// reader's release of its copy after the lock (a report under ThreadSanitizer).
template <typename T> QList<T> unshared(const QList<T> &list)
{
    return QList<T>(list.cbegin(), list.cend());
}

} // namespace

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
    return unshared(m_reasons);
}

QList<RecordingDelegate::Progress> RecordingDelegate::progressReports() const
{
    std::lock_guard locker(m_mutex);
    return unshared(m_progress);
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
