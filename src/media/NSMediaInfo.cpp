#include "media/NSMediaInfo.h"

#include "media/NSTavoTools.h"

QString NSMediaInfo::description() const
{
    return QString::asprintf("%lld x %lld", static_cast<long long>(m_videoWidth),
                             static_cast<long long>(m_videoHeight)) +
           QStringLiteral("    ") + m_videoEncodeName + QStringLiteral("  ") +
           NSTavoTools::stringForDuration(m_duration) + QLatin1Char(' ') +
           QString::asprintf("%.2f fps", double(m_fps));
}
