#pragma once

#include <QDBusConnection>
#include <QStringList>

// Shows files selected in the user's file manager (org.freedesktop.FileManager1 over the
// session bus). Never blocks: when the bus or the file manager does not answer in time, the
// folder of the first file opens instead.
class FileReveal
{
public:
    static constexpr int replyTimeoutMs = 2000;
    static void reveal(const QStringList &paths,
                       QDBusConnection bus = QDBusConnection::sessionBus());
};
