#include "cli/CliProgress.h"

#include "cli/CliOutput.h"
#include "download/NSYtdlpTask.h"
#include "media/NSTavoTools.h"
#include "store/XTask.h"

#include <unistd.h>

CliProgress::CliProgress(FILE *stream) : m_stream(stream), m_terminal(::isatty(::fileno(stream))) {}

QString CliProgress::describe(const XTask &task)
{
    QString line = QString::asprintf("%5.1f%%", double(task.progress()) * 100.0);
    if (task.speed() > 0)
        line += QStringLiteral("  ") + NSTavoTools::stringNetworkSpeed(task.speed());
    const auto worker = task.worker();
    if (worker && worker->numberOfTotal() >= 2)
        line += QStringLiteral("  %1 of %2")
                    .arg(worker->numberOfCurrent())
                    .arg(worker->numberOfTotal());
    return line;
}

void CliProgress::show(const XTask &task)
{
    if (task.currentStatus() != XTask::StatusDownloading || task.progress() <= 0.0f) return;
    showText(describe(task));
}

void CliProgress::showText(const QString &line)
{
    if (line == m_lastShown) return;
    if (m_terminal) {
        std::fprintf(m_stream, "\r\033[K%s", qPrintable(line));
        std::fflush(m_stream);
        m_lineOpen = true;
    } else {
        if (m_sincePlainLine.isValid() && m_sincePlainLine.elapsed() < 1000) return;
        m_sincePlainLine.start();
        CliOutput::err(line);
    }
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
    CliOutput::err(text);
}
