#include "platform/ProcessGroup.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

void ProcessGroup::makeLeader(QProcess &process, bool dieWithParent)
{
    process.setChildProcessModifier([dieWithParent] {
        ::setpgid(0, 0);
#ifdef Q_OS_LINUX
        if (dieWithParent) ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#else
        Q_UNUSED(dieWithParent);
#endif
    });
}

bool ProcessGroup::signal(qint64 pid, int sig)
{
    if (pid <= 0) return false;
    return ::kill(-static_cast<pid_t>(pid), sig) == 0;
}

namespace
{

// Whether a process of the group is still running. An orphaned member that has ended stays a
// zombie until whoever inherited it reaps it, which some container inits never do; on Linux
// those are told apart, elsewhere the kernel's answer is taken as it is.
bool hasLiveMember(pid_t group)
{
#ifdef Q_OS_LINUX
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!entry.front().isDigit()) continue;
        QFile stat(proc.filePath(entry + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        // "pid (name) state ppid pgrp ...": the name may hold anything, so read after its end.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 3 || fields.at(2).toLongLong() != group) continue;
        if (fields.at(0) != "Z" && fields.at(0) != "X") return true;
    }
    return false;
#else
    return ::kill(-group, 0) == 0;
#endif
}

bool waitUntilEmpty(pid_t group, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (hasLiveMember(group)) {
        if (deadline.hasExpired()) return false;
        QThread::msleep(10);
    }
    return true;
}

} // namespace

bool ProcessGroup::reap(qint64 pid, int graceMs)
{
    if (pid <= 0) return true;
    const auto group = static_cast<pid_t>(pid);
    if (waitUntilEmpty(group, graceMs)) return true;
    ::kill(-group, SIGKILL);
    // Killed members are reaped by whoever inherited them; a short wait for that.
    return waitUntilEmpty(group, 1000);
}
