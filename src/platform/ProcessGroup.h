#pragma once

#include <QtGlobal>

class QProcess;

// A child started as the leader of its own process group, so that one signal reaches it
// and everything it spawned (yt-dlp and the ffmpeg it runs).
class ProcessGroup
{
public:
    // Arranges for the child to lead a new group. With dieWithParent, the child also gets
    // SIGTERM when the thread that spawned it ends (a crashed application leaves no child).
    static void makeLeader(QProcess &process, bool dieWithParent = true);
    // Sends sig to the whole group led by pid. Safe from any thread and from signal handlers.
    static bool signal(qint64 pid, int sig);
    // Waits until no process of the group led by pid is left (its members may outlive the
    // leader), SIGKILLing the rest after graceMs. Returns whether the group emptied.
    static bool reap(qint64 pid, int graceMs);
};
