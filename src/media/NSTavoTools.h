#pragma once

#include <QString>

// The shared toolbox: the texts in which speeds, dates and durations are shown.
class NSTavoTools
{
public:
    // "%lld Bit/s" below 1024, then "%.1f Kib/s", then "%.1f Mib/s" (no larger unit).
    static QString stringNetworkSpeed(quint64 count);
};
