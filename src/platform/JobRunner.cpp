#include "platform/JobRunner.h"

#include <chrono>

JobRunner::JobRunner(int threads, QObject *parent)
    : QObject(parent), m_maximumThreads(std::size_t(qMax(1, threads)))
{
    // Queued: a worker only signals; the results cross threads through m_results.
    connect(this, &JobRunner::resultReady, this, &JobRunner::deliverResults, Qt::QueuedConnection);
}

JobRunner::~JobRunner()
{
    std::deque<Request> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        dropped.swap(m_requests);
    }
    m_requested.notify_all();
    m_cancellation.cancel();
    for (std::thread &thread : m_threads)
        thread.join();
}

bool JobRunner::waitForDone(int milliseconds)
{
    std::unique_lock lock(m_mutex);
    const auto done = [this] { return m_requests.empty() && m_runningJobs == 0; };
    if (milliseconds < 0) {
        m_idle.wait(lock, done);
        return true;
    }
    return m_idle.wait_for(lock, std::chrono::milliseconds(milliseconds), done);
}

bool JobRunner::isLatest(const QString &kind, quint64 ticket) const
{
    return kind.isNull() || m_latest.value(kind) == ticket;
}

void JobRunner::post(const QString &kind, Job job)
{
    std::lock_guard lock(m_mutex);
    const quint64 ticket = kind.isNull() ? 0 : ++m_latest[kind];
    m_requests.push_back({kind, ticket, std::move(job)});
    // A thread more only when every waiting one already has a request to take.
    if (m_requests.size() > m_waitingThreads && m_threads.size() < m_maximumThreads)
        m_threads.emplace_back(&JobRunner::work, this);
    else
        m_requested.notify_one();
}

// What a job captured is destroyed outside the lock, so that it may use the runner.
void JobRunner::work()
{
    Request request;
    while (takeRequest(request)) {
        Delivery deliver;
        {
            ToolCancellation::Scope tools(m_cancellation);
            deliver = request.job();
        }
        request.job = nullptr;
        if (!handOver(request, std::move(deliver))) return;
    }
}

bool JobRunner::takeRequest(Request &request)
{
    for (;;) {
        request = {};
        std::unique_lock lock(m_mutex);
        ++m_waitingThreads;
        m_requested.wait(lock, [this] { return m_stopping || !m_requests.empty(); });
        --m_waitingThreads;
        if (m_stopping) return false;
        request = std::move(m_requests.front());
        m_requests.pop_front();
        if (isLatest(request.kind, request.ticket)) {
            ++m_runningJobs;
            return true;
        }
        m_idle.notify_all(); // superseded while queued
    }
}

bool JobRunner::handOver(const Request &request, Delivery deliver)
{
    {
        std::lock_guard lock(m_mutex);
        --m_runningJobs;
        m_idle.notify_all();
        if (m_stopping) return false; // nothing is delivered once the runner is going
        m_results.push_back({request.kind, request.ticket, std::move(deliver)});
    }
    emit resultReady(QPrivateSignal());
    return true;
}

void JobRunner::deliverResults()
{
    std::deque<Result> results;
    {
        std::lock_guard lock(m_mutex);
        results.swap(m_results);
    }
    // Checked one by one: a delivery may supersede the results after it.
    for (Result &result : results) {
        bool latest = false;
        {
            std::lock_guard lock(m_mutex);
            latest = isLatest(result.kind, result.ticket);
        }
        if (latest) result.deliver();
    }
}
