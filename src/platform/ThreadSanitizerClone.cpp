// Built only under ThreadSanitizer. Qt starts a child process with clone(CLONE_VM |
// CLONE_VFORK): the child runs in the parent's memory until it execs. The sanitizer's own
// clone() (GCC 12) does its after-fork bookkeeping in that child, on memory the parent shares,
// and the parent's sanitizer state is left wrong: a join of a thread that started a tool no
// longer orders what the thread wrote before (false reports). Here such a clone becomes a
// fork(), which the sanitizer follows correctly, with the pidfd Qt asked for; every other
// clone goes on unchanged.
#include <cstdarg>
#include <dlfcn.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" int clone(int (*function)(void *), void *stack, int flags, void *argument, ...)
{
    va_list rest;
    va_start(rest, argument);
    int *parentTid = va_arg(rest, int *);
    void *tls = va_arg(rest, void *);
    int *childTid = va_arg(rest, int *);
    va_end(rest);
    constexpr int sharedUntilExec = CLONE_VM | CLONE_VFORK;
    if ((flags & sharedUntilExec) != sharedUntilExec) {
        using Clone = int (*)(int (*)(void *), void *, int, void *, ...);
        static const auto next = reinterpret_cast<Clone>(dlsym(RTLD_NEXT, "clone"));
        return next(function, stack, flags, argument, parentTid, tls, childTid);
    }
    const pid_t pid = fork();
    if (pid == 0) _exit(function(argument));
    if (pid > 0 && (flags & CLONE_PIDFD)) {
        const int pidfd = int(syscall(SYS_pidfd_open, pid, 0));
        if (pidfd < 0) return -1;
        *parentTid = pidfd;
    }
    return pid;
}
