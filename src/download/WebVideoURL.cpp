#include "download/WebVideoURL.h"

#include <QUrl>

bool WebVideoURL::isAvailableWebVideoURL(const QString &text)
{
    if (text.isNull() || text.size() < 5) return false;
    const QUrl parsed(text, QUrl::StrictMode);
    if (!parsed.isValid()) return false; // what the platform's URL parser refuses has no scheme
    const QString scheme = parsed.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}
