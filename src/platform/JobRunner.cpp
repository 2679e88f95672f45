#include "platform/JobRunner.h"

#include <QMetaObject>

JobRunner::JobRunner(int threads, QObject *parent) : QObject(parent)
{
    m_pool.setMaxThreadCount(qMax(1, threads));
}

JobRunner::~JobRunner()
{
    m_pool.clear();
    m_cancellation.cancel();
    m_pool.waitForDone();
}

bool JobRunner::waitForDone(int milliseconds)
{
    return m_pool.waitForDone(milliseconds);
}

bool JobRunner::isLatest(const QString &kind, quint64 ticket) const
{
    if (kind.isNull()) return true;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_latest.value(kind) == ticket;
}

void JobRunner::post(const QString &kind, Job job)
{
    quint64 ticket = 0;
    if (!kind.isNull()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        ticket = ++m_latest[kind];
    }
    // The pool threads may use this: the destructor waits for them before anything goes.
    m_pool.start([this, kind, ticket, job = std::move(job)] {
        if (!isLatest(kind, ticket)) return; // superseded while queued
        Delivery deliver;
        {
            ToolCancellation::Scope tools(m_cancellation);
            deliver = job();
        }
        // Queued to this object: dropped with it when the runner is gone first.
        QMetaObject::invokeMethod(
            this,
            [this, kind, ticket, deliver = std::move(deliver)] {
                if (isLatest(kind, ticket)) deliver();
            },
            Qt::QueuedConnection);
    });
}
