// The parses of ffprobe's answers on arbitrary text. Beyond not crashing: what is not a
// number reads as the failure value (0, or the no-duration mark for no text at all), and a
// parse never invents a number from a piece that holds no digit.
#include "FuzzSupport.h"

#include "media/NSTavoTools.h"
#include "media/NSffprobe.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace
{

bool hasDigit(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isDigit(); });
}

// The piece the duration is read from: the last one of at least two characters.
QString durationPiece(const QStringList &pieces)
{
    for (qsizetype i = pieces.size() - 1; i >= 0; --i) {
        if (pieces[i].size() >= 2) return pieces[i];
    }
    return {};
}

void checkMediaInfo(const QString &text)
{
    const QStringList pieces = text.split(QLatin1Char('\n'));
    const std::optional<NSMediaInfo> info = NSffprobe::parseVideoEncodeName(text);
    FUZZ_CHECK(info.has_value() == (pieces.size() >= 7));
    if (!info) return;
    FUZZ_CHECK(info->videoEncodeName() == pieces[0]);
    if (!hasDigit(pieces[2])) FUZZ_CHECK(info->videoWidth() == 0);
    if (!hasDigit(pieces[3])) FUZZ_CHECK(info->videoHeight() == 0);
    if (!pieces[4].contains(QLatin1Char('/'))) FUZZ_CHECK(info->fps() == 0);
    if (!hasDigit(durationPiece(pieces))) FUZZ_CHECK(info->duration() == 0);
    FUZZ_CHECK(!info->description().isEmpty());
}

void checkDuration(const QString &text)
{
    const float duration = NSffprobe::parseDuration(text);
    if (text.isEmpty())
        FUZZ_CHECK(duration == NSTavoTools::noDurationMark);
    else if (!hasDigit(text))
        FUZZ_CHECK(duration == 0);
    FUZZ_CHECK(!std::isnan(duration));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    checkMediaInfo(text);
    checkDuration(text);
    return 0;
}
