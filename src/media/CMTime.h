#pragma once

#include <QtGlobal>

// A media time as the callers pass it: value over timescale seconds (the system uses 1000).
struct CMTime {
    qint64 value = 0;
    qint32 timescale = 1000;

    // Whole seconds by integer division, truncated; 0 for a zero timescale.
    qint64 wholeSeconds() const { return timescale == 0 ? 0 : value / timescale; }
    double seconds() const { return timescale == 0 ? 0.0 : double(value) / double(timescale); }
};
