#pragma once

#include "download/NSYtdlpTaskDelegate.h"

#include <QList>
#include <QStringList>

#include <mutex>

// Remembers every report of a download run, from whichever thread it comes.
class RecordingDelegate : public NSYtdlpTaskDelegate
{
public:
    struct Progress {
        float progress;
        float size;
        float speed;
    };

    void downloadStoppedWithReason(const QString &reason) override
    {
        std::lock_guard locker(m_mutex);
        m_reasons << reason;
    }
    void progress(float progress, float size, float speed) override
    {
        std::lock_guard locker(m_mutex);
        m_progress.append({progress, size, speed});
    }

    QStringList reasons() const { return unshared(m_reasons); }
    QList<Progress> progressReports() const { return unshared(m_progress); }
    void clear()
    {
        std::lock_guard locker(m_mutex);
        m_reasons.clear();
        m_progress.clear();
    }

private:
    // A copy not shared with the list the run's thread appends to: Qt decides whether a list
    // may grow in place with a relaxed read of its sharing count, which orders nothing against
    // the reader's release of its copy after the lock (a report under ThreadSanitizer).
    template <typename T> QList<T> unshared(const QList<T> &list) const
    {
        std::lock_guard locker(m_mutex);
        return QList<T>(list.cbegin(), list.cend());
    }

    mutable std::mutex m_mutex;
    QStringList m_reasons;
    QList<Progress> m_progress;
};
