#pragma once

// The history as the commands reach it: opened on first use, and a store that cannot be
// opened is said on standard error (the store's own log line is hidden from people).
class CliStore
{
public:
    static bool isOpen();
};
