#include "store/TaskEvents.h"

#include <QCoreApplication>

TaskEvents::TaskEvents(QObject *parent) : QObject(parent)
{
    // Delivered on the main thread whichever thread opened the store.
    if (!parent && QCoreApplication::instance())
        moveToThread(QCoreApplication::instance()->thread());
}

void TaskEvents::post(const std::shared_ptr<XTask> &task, unsigned kinds)
{
    if (!task) return;
    std::lock_guard locker(m_mutex);
    const auto found = m_pendingIndex.constFind(task.get());
    if (found != m_pendingIndex.constEnd()) {
        m_pending[*found].kinds |= kinds;
        return;
    }
    m_pendingIndex.insert(task.get(), m_pending.size());
    m_pending.push_back({task, kinds});
    // Called by name: the wake-up carries nothing of ours across threads, the pending list
    // crosses under the mutex, where ThreadSanitizer sees it.
    if (m_pending.size() == 1) QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
}

void TaskEvents::deliver()
{
    std::vector<Pending> delivered;
    {
        std::lock_guard locker(m_mutex);
        delivered.swap(m_pending);
        m_pendingIndex.clear();
    }
    for (const Pending &pending : delivered)
        emitFor(pending);
}

void TaskEvents::emitFor(const Pending &pending)
{
    if (pending.kinds & Removed) {
        emit taskRemoved(pending.task);
        return;
    }
    // A view reads a task it has just been given as it is now.
    if (pending.kinds & Inserted) {
        emit taskInserted(pending.task);
        return;
    }
    if (pending.kinds & Changed) emit taskChanged(pending.task);
    if (pending.kinds & ThumbnailChanged) emit thumbnailChanged(pending.task);
}
