#include "download/CookieBrowser.h"

#include "platform/RunningPrograms.h"

QStringList CookieBrowser::labels()
{
    return {QStringLiteral("None"), QStringLiteral("Firefox"), QStringLiteral("Chrome")};
}

std::optional<QString> CookieBrowser::labelFor(const QString &name)
{
    if (name.isEmpty()) return QStringLiteral("None");
    for (const QString &label : labels()) {
        if (name.compare(label, Qt::CaseInsensitive) == 0) return label;
    }
    return std::nullopt;
}

bool CookieBrowser::needShowAccountWarning(const QString &label)
{
    if (label == QLatin1String("None")) return false;
    // Chrome runs as google-chrome, or as chromium where it is packaged so.
    const QStringList programs =
        label == QLatin1String("Firefox")
            ? QStringList{QStringLiteral("firefox")}
            : QStringList{QStringLiteral("chrom"), QStringLiteral("google-chrome")};
    return !RunningPrograms::anyNameStartsWith(programs);
}
