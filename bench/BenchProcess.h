#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <sys/resource.h>

// The benchmarks' own process: its home, the figures they read of it.
namespace BenchProcess
{

// User and system CPU time of the whole process (every thread) so far.
inline double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Resident memory now; -1 when /proc cannot tell.
inline long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// A home of its own (HOME, XDG_CONFIG_HOME, XDG_STATE_HOME with a Documents folder) and,
// without a display, the offscreen platform.
inline void isolateHome(const QString &home)
{
    QDir(home).mkpath(QStringLiteral("Documents"));
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toUtf8());
    qputenv("XDG_STATE_HOME", (home + QStringLiteral("/.local/state")).toUtf8());
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace BenchProcess
