#include "media/EncodeProgress.h"

#include "media/NSTavoTools.h"

#include <algorithm>
#include <cmath>

bool EncodeProgress::isKnownDuration(float duration)
{
    return std::isfinite(duration) && duration > 0 && duration != NSTavoTools::noDurationMark;
}

QString EncodeProgress::text(float seconds, float duration)
{
    if (!isKnownDuration(duration)) return QString::asprintf("%.1f seconds.", double(seconds));
    return QString::asprintf("%.1f%%", double(fraction(seconds, duration) * 100.0f));
}

float EncodeProgress::fraction(float seconds, float duration)
{
    if (!isKnownDuration(duration) || !std::isfinite(seconds)) return 0;
    return std::clamp(seconds / duration, 0.0f, 1.0f);
}
