#include "platform/ToolRunner.h"

#include "platform/Log.h"
#include "platform/ProcessGroup.h"
#include "platform/TextDecoding.h"
#include "platform/ToolCancellation.h"

#include <QFileInfo>
#include <QProcess>

#include <csignal>

namespace
{

void startReading(QProcess &process, const ToolRunner::ChunkHandler &onOutput)
{
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&process, &onOutput] {
        const QByteArray chunk = process.readAllStandardOutput();
        if (!chunk.isEmpty()) onOutput(chunk);
    });
}

// Waits within the limit; a child still running then is killed, with whatever it started
// (a script's curl), and reaped.
bool waitWithin(QProcess &process, int timeLimitMs)
{
    if (process.waitForFinished(timeLimitMs)) return true;
    if (process.state() == QProcess::NotRunning) return true;
    ProcessGroup::signal(process.processId(), SIGKILL);
    process.waitForFinished(-1);
    Log::line(QStringLiteral("%1 did not end within %2 s and was ended.")
                  .arg(process.program())
                  .arg(timeLimitMs / 1000.0));
    return false;
}

} // namespace

QString ToolRunner::Outcome::text() const
{
    const QString output = TextDecoding::pipeText(standardOutput);
    return output.isNull() ? TextDecoding::pipeText(standardError) : output;
}

ToolRunner::Outcome ToolRunner::run(const QString &program, const QStringList &arguments,
                                    const Options &options)
{
    Outcome outcome;
    ToolCancellation *const cancellation = ToolCancellation::current();
    if (cancellation && cancellation->isCancelled()) {
        outcome.launchError = QStringLiteral("cancelled");
        outcome.cancelled = true;
        return outcome;
    }
    QProcess process;
    process.setProgram(program.contains(QLatin1Char('/')) ? program
                                                          : QFileInfo(program).absoluteFilePath());
    process.setArguments(arguments);
    if (options.onOutput) startReading(process, options.onOutput);
    ProcessGroup::makeLeader(process);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        outcome.launchError = process.errorString();
        return outcome;
    }
    outcome.started = true;
    const qint64 pid = process.processId();
    if (cancellation && !cancellation->adopt(pid)) ProcessGroup::signal(pid, SIGKILL);
    outcome.timedOut = !waitWithin(process, options.timeLimitMs);
    if (cancellation) outcome.cancelled = cancellation->release(pid) || cancellation->isCancelled();
    outcome.crashed = process.exitStatus() == QProcess::CrashExit;
    outcome.exitCode = process.exitCode();
    outcome.standardOutput = process.readAllStandardOutput();
    outcome.standardError = process.readAllStandardError();
    if (options.onOutput && !outcome.standardOutput.isEmpty())
        options.onOutput(outcome.standardOutput);
    return outcome;
}
