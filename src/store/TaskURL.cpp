#include "store/TaskURL.h"

namespace
{

// The host part of an authority "user@host:port", as [start, end).
std::pair<qsizetype, qsizetype> hostSpan(const QString &url, qsizetype start, qsizetype end)
{
    const qsizetype at = url.lastIndexOf(QLatin1Char('@'), end - 1);
    if (at >= start) start = at + 1;
    return {start, end};
}

} // namespace

QString TaskURL::comparable(const QString &url)
{
    const qsizetype schemeEnd = url.indexOf(QLatin1String("://"));
    if (schemeEnd <= 0) return url;
    const qsizetype authorityStart = schemeEnd + 3;
    qsizetype authorityEnd = url.size();
    for (const QChar stop : {QLatin1Char('/'), QLatin1Char('?'), QLatin1Char('#')}) {
        const qsizetype found = url.indexOf(stop, authorityStart);
        if (found >= 0) authorityEnd = std::min(authorityEnd, found);
    }
    const auto [hostStart, hostEnd] = hostSpan(url, authorityStart, authorityEnd);
    return url.left(schemeEnd).toLower() + url.mid(schemeEnd, hostStart - schemeEnd) +
           url.mid(hostStart, hostEnd - hostStart).toLower() + url.mid(hostEnd);
}

bool TaskURL::same(const QString &a, const QString &b)
{
    return !a.isNull() && !b.isNull() && comparable(a) == comparable(b);
}
