#include "download/NSterminal.h"

#include "platform/Log.h"
#include "platform/TextDecoding.h"

#include <QProcess>

QString NSterminal::order(const QString &path, const QStringList &arguments, QString *error,
                          int timeLimitMs)
{
    const ToolRunner::Outcome outcome = ToolRunner::run(path, arguments, {timeLimitMs, {}});
    if (!outcome.started) {
        if (error) *error = outcome.launchError;
        return {};
    }
    return outcome.text();
}

QString NSterminal::stringByPipe(const QByteArray &data)
{
    return TextDecoding::pipeText(data);
}

void NSterminal::printTaskSH(const QProcess &process)
{
    QString line = process.program();
    for (const QString &argument : process.arguments())
        line += QLatin1Char(' ') + argument;
    Log::line(QStringLiteral("Order: %1").arg(line));
}
