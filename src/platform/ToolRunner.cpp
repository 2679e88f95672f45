#include "platform/ToolRunner.h"

#include "download/NSterminal.h"

#include <QFileInfo>
#include <QProcess>

QString ToolRunner::Outcome::text() const
{
    const QString output = NSterminal::stringByPipe(standardOutput);
    return output.isNull() ? NSterminal::stringByPipe(standardError) : output;
}

ToolRunner::Outcome ToolRunner::run(const QString &program, const QStringList &arguments,
                                    const ChunkHandler &onOutput)
{
    Outcome outcome;
    QProcess process;
    // A bare name would be searched on PATH; the caller's path is meant as it is.
    process.setProgram(program.contains(QLatin1Char('/')) ? program
                                                          : QFileInfo(program).absoluteFilePath());
    process.setArguments(arguments);
    if (onOutput) {
        QObject::connect(&process, &QProcess::readyReadStandardOutput, [&process, &onOutput] {
            const QByteArray chunk = process.readAllStandardOutput();
            if (!chunk.isEmpty()) onOutput(chunk);
        });
    }
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        outcome.launchError = process.errorString();
        return outcome;
    }
    outcome.started = true;
    process.waitForFinished(-1);
    outcome.crashed = process.exitStatus() == QProcess::CrashExit;
    outcome.exitCode = process.exitCode();
    outcome.standardOutput = process.readAllStandardOutput();
    outcome.standardError = process.readAllStandardError();
    if (onOutput && !outcome.standardOutput.isEmpty()) onOutput(outcome.standardOutput);
    return outcome;
}
