#pragma once

#include <QStringList>

// What runs on this machine now, from /proc.
class RunningPrograms
{
public:
    // Whether a process's program name (as /proc/PID/comm gives it, at most 15 characters)
    // starts with one of the prefixes.
    static bool anyNameStartsWith(const QStringList &prefixes);
};
