#include "cli/CliProgress.h"

#include "download/NSYtdlpTask.h"
#include "media/NSTavoTools.h"

#include <QLocale>
#include <QMutexLocker>

#include <unistd.h>

CliProgress::CliProgress(FILE *stream) : m_stream(stream), m_terminal(::isatty(::fileno(stream))) {}

void CliProgress::downloadStoppedWithReason(const QString &reason)
{
    QMutexLocker locker(&m_reasonMutex);
    m_stopReason = reason;
}

void CliProgress::progress(float progress, float size, float speed)
{
    m_progress.store(progress);
    // A finished line reports -1; keep the last real size rather than show "-1 bytes".
    if (size > 0) m_size.store(size);
    m_speed.store(speed);
    m_seen.store(true);
}

QString CliProgress::stopReason() const
{
    QMutexLocker locker(&m_reasonMutex);
    return m_stopReason;
}

QString CliProgress::describe(const NSYtdlpTask &task) const
{
    QString line = QString::asprintf("%5.1f%%", double(m_progress.load()) * 100.0);
    const float size = m_size.load();
    if (size > 0) line += QStringLiteral("  of ") + QLocale::c().formattedDataSize(qint64(size));
    const float speed = m_speed.load();
    if (speed > 0) line += QStringLiteral("  ") + NSTavoTools::stringNetworkSpeed(quint64(speed));
    if (task.numberOfTotal() >= 2)
        line += QStringLiteral("  %1 of %2").arg(task.numberOfCurrent()).arg(task.numberOfTotal());
    return line;
}

void CliProgress::show(const NSYtdlpTask &task)
{
    if (!m_seen.load()) return;
    const QString line = describe(task);
    if (line == m_lastShown) return;
    if (m_terminal) {
        std::fprintf(m_stream, "\r\033[K%s", qPrintable(line));
        m_lineOpen = true;
    } else {
        if (m_sincePlainLine.isValid() && m_sincePlainLine.elapsed() < 1000) return;
        m_sincePlainLine.start();
        std::fprintf(m_stream, "%s\n", qPrintable(line));
    }
    std::fflush(m_stream);
    m_lastShown = line;
}

void CliProgress::finish()
{
    if (m_lineOpen) std::fputc('\n', m_stream);
    m_lineOpen = false;
    std::fflush(m_stream);
}

void CliProgress::say(const QString &text)
{
    finish();
    std::fprintf(m_stream, "%s\n", qPrintable(text));
    std::fflush(m_stream);
}
