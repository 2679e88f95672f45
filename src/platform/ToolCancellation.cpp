#include "platform/ToolCancellation.h"

#include "platform/ProcessGroup.h"

#include <csignal>

namespace
{
thread_local ToolCancellation *currentCancellation = nullptr;
}

ToolCancellation::Scope::Scope(ToolCancellation &cancellation) : m_previous(currentCancellation)
{
    currentCancellation = &cancellation;
}

ToolCancellation::Scope::~Scope()
{
    currentCancellation = m_previous;
}

ToolCancellation *ToolCancellation::current()
{
    return currentCancellation;
}

void ToolCancellation::cancel()
{
    std::lock_guard locker(m_mutex);
    m_cancelled = true;
    // A child is reaped inside ToolRunner's wait, just before its release(); pids are handed
    // out in sequence, so one cannot have been reused in that instant.
    for (const qint64 pid : m_children) {
        ProcessGroup::signal(pid, SIGKILL);
        m_killed.insert(pid);
    }
}

bool ToolCancellation::isCancelled() const
{
    std::lock_guard locker(m_mutex);
    return m_cancelled;
}

bool ToolCancellation::adopt(qint64 pid)
{
    std::lock_guard locker(m_mutex);
    if (m_cancelled) return false;
    m_children.insert(pid);
    return true;
}

bool ToolCancellation::release(qint64 pid)
{
    std::lock_guard locker(m_mutex);
    m_children.erase(pid);
    return m_killed.erase(pid) > 0;
}
