#pragma once

#include "platform/ToolCancellation.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

// Runs work off the main thread on threads of its own and hands each result to a function on
// the thread that owns the runner (the main thread), so a widget never waits on a tool. For
// previews, the latest request of a kind wins: an older request of that kind that has not
// started never runs, and a result of an older one is never delivered. The outside tools a job
// runs are killed when the runner goes, so quit never waits on a hung ffmpeg.
//
// Jobs and results change threads only through the runner's own mutex (standard threads, a
// standard mutex), so that ThreadSanitizer sees every hand-off; a thread pool or event queue
// inside Qt would hide them.
class JobRunner : public QObject
{
    Q_OBJECT
public:
    explicit JobRunner(int threads = QThread::idealThreadCount(), QObject *parent = nullptr);
    // Drops the jobs not yet started, ends the tools the running ones wait on (ToolRunner) and
    // waits for them; nothing is delivered afterwards.
    ~JobRunner() override;

    // work() runs on a pool thread; done(result) then runs on the runner's thread.
    template <typename Work, typename Done> void run(Work work, Done done)
    {
        post(QString(), wrap(std::move(work), std::move(done)));
    }
    // As run(), superseding every earlier request of the same kind.
    template <typename Work, typename Done>
    void runLatest(const QString &kind, Work work, Done done)
    {
        post(kind, wrap(std::move(work), std::move(done)));
    }
    // Waits for the jobs started or queued (at quit); false when the time ran out.
    bool waitForDone(int milliseconds = -1);

signals:
    // From a worker: a result waits in m_results.
    void resultReady(QPrivateSignal);

private:
    using Delivery = std::function<void()>;
    using Job = std::function<Delivery()>;
    struct Request {
        QString kind; // null: never superseded
        quint64 ticket = 0;
        Job job;
    };
    struct Result {
        QString kind;
        quint64 ticket = 0;
        Delivery deliver;
    };

    template <typename Work, typename Done> static Job wrap(Work work, Done done)
    {
        return [work = std::move(work), done = std::move(done)]() mutable -> Delivery {
            if constexpr (std::is_void_v<std::invoke_result_t<Work &>>) {
                work();
                return [done]() mutable { done(); };
            } else {
                auto result = std::make_shared<std::invoke_result_t<Work &>>(work());
                return [done, result]() mutable { done(std::move(*result)); };
            }
        };
    }

    void post(const QString &kind, Job job);
    // A worker thread's loop.
    void work();
    // Waits for the next request still the latest of its kind; false when the runner goes.
    bool takeRequest(Request &request);
    // Queues a job's result for the owner's thread; false when the runner goes.
    bool handOver(const Request &request, Delivery deliver);
    void deliverResults();
    // With m_mutex held.
    bool isLatest(const QString &kind, quint64 ticket) const;

    const std::size_t m_maximumThreads;
    ToolCancellation m_cancellation;
    std::mutex m_mutex;
    std::condition_variable m_requested; // a request was queued, or the runner is going
    std::condition_variable m_idle;      // a job ended
    std::deque<Request> m_requests;
    std::deque<Result> m_results;
    QHash<QString, quint64> m_latest; // the ticket of the newest request of each kind
    std::size_t m_waitingThreads = 0;
    int m_runningJobs = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};
