#include "store/StoreWatcher.h"

#include "store/ObjectContext.h"
#include "store/TaskEvents.h"

#include <QCoreApplication>

StoreWatcher::StoreWatcher(std::weak_ptr<ObjectContext> context, TaskEvents &events)
    : m_context(std::move(context)), m_events(events), m_timer(this)
{
    moveToThread(QCoreApplication::instance()->thread());
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, &StoreWatcher::refresh);
    QMetaObject::invokeMethod(&m_timer, qOverload<>(&QTimer::start), Qt::QueuedConnection);
}

void StoreWatcher::refresh()
{
    const auto context = m_context.lock();
    if (!context) return;
    const OtherConnectionsChanges changes = context->takeOtherConnectionsChanges();
    for (const auto &task : changes.inserted)
        m_events.postInserted(task);
    for (const auto &task : changes.changed)
        m_events.postChanged(task);
    for (const auto &task : changes.thumbnailChanged)
        m_events.postThumbnailChanged(task);
    for (const auto &task : changes.removed)
        m_events.postRemoved(task);
}
