#include "media/NSTavoTools.h"

QString NSTavoTools::stringNetworkSpeed(quint64 count)
{
    if (count < 1024)
        return QString::asprintf("%lld Bit/s", static_cast<long long>(count));
    // Single precision, as the text has always been computed.
    float f = static_cast<float>(count) * (1.0f / 1024.0f);
    if (f >= 1024.0f) {
        f *= 1.0f / 1024.0f;
        return QString::asprintf("%.1f Mib/s", static_cast<double>(f));
    }
    return QString::asprintf("%.1f Kib/s", static_cast<double>(f));
}
