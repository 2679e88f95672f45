#include "support/LogCapture.h"

namespace
{
LogCapture *active = nullptr;
}

LogCapture::LogCapture()
{
    active = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    active = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (!active) return;
    // Qt Test's own warnings (a failed QVERIFY in a slot, say) must still be seen.
    if (type != QtInfoMsg && type != QtDebugMsg && active->m_previous)
        active->m_previous(type, QMessageLogContext(), message);
    std::lock_guard locker(active->m_mutex);
    active->m_lines << message;
}

QStringList LogCapture::lines() const
{
    std::lock_guard locker(m_mutex);
    return m_lines;
}

void LogCapture::clear()
{
    std::lock_guard locker(m_mutex);
    m_lines.clear();
}
