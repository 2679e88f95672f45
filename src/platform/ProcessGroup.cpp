#include "platform/ProcessGroup.h"

#include <QProcess>

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
