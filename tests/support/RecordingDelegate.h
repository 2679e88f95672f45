#pragma once

#include "download/NSYtdlpTaskDelegate.h"

#include <QList>
#include <QStringList>
#include <QThread>

#include <mutex>

// Remembers every report of a download run, and on which thread it came.
class RecordingDelegate : public NSYtdlpTaskDelegate
{
public:
    struct Progress {
        float progress;
        float size;
        float speed;
    };

    void downloadStoppedWithReason(const QString &reason) override;
    void progress(float progress, float size, float speed) override;

    QStringList reasons() const;
    QList<Progress> progressReports() const;
    bool calledOnThread(const QThread *thread) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    QStringList m_reasons;
    QList<Progress> m_progress;
    QList<const QThread *> m_threads;
};
