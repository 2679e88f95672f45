#pragma once

#include <QString>

// The history as the commands reach it: opened on first use, and a store that cannot be
// opened is said on standard error with the reason (the store's own log line is hidden from
// people).
class CliStore
{
public:
    // For the commands that write: the history open for writing.
    static bool isOpen();
    // For the commands that only read: a history that may not be written is opened
    // read-only, and that is said.
    static bool isOpenForReading();

private:
    static void sayRefused(const QString &reason);
};
