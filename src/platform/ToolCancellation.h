#pragma once

#include <QtGlobal>

#include <mutex>
#include <set>

// Lets one thread end the outside tools that another thread's work waits on, so that quit never
// waits for a hung ffprobe. The work installs a Scope on its own thread; every ToolRunner run on
// that thread registers its child here, and cancel() kills those children and refuses new ones.
class ToolCancellation
{
public:
    // Makes the cancellation the current one of this thread for the scope's life.
    class Scope
    {
    public:
        explicit Scope(ToolCancellation &cancellation);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        ToolCancellation *m_previous;
    };

    // Kills every registered child and every later one. Any thread.
    void cancel();
    bool isCancelled() const;

    // The calling thread's cancellation; null outside any scope.
    static ToolCancellation *current();

    // For ToolRunner: false when already cancelled (the caller kills the child itself).
    bool adopt(qint64 pid);
    // True when cancel() killed the child.
    bool release(qint64 pid);

private:
    mutable std::mutex m_mutex;
    bool m_cancelled = false;
    std::set<qint64> m_children;
    std::set<qint64> m_killed;
};
