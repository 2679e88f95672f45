#pragma once

#include <QString>

// How far a re-encode has come, as the encoding panel and zelvo-cli show it. A source
// duration that is 0, negative, not finite or the no-duration mark is unknown: the text then
// counts seconds, and no fraction is known.
class EncodeProgress
{
public:
    static bool isKnownDuration(float duration);
    // "%.1f%%" of the duration, or "%.1f seconds." when the duration is unknown.
    static QString text(float seconds, float duration);
    // Within 0 to 1; 0 when the duration is unknown.
    static float fraction(float seconds, float duration);
};
