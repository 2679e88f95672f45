#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Runs an outside tool to completion when its exit status matters (NSterminal gives only text).
// Both pipes are drained while the tool runs, so a chatty child never blocks.
class ToolRunner
{
public:
    struct Outcome {
        bool started = false;
        QString launchError;
        bool crashed = false;
        int exitCode = -1;
        QByteArray standardOutput;
        QByteArray standardError;

        bool exitedCleanly() const { return started && !crashed && exitCode == 0; }
        // Standard output when there is any, else standard error, as NSterminal answers.
        QString text() const;
    };
    using ChunkHandler = std::function<void(const QByteArray &)>;

    // onOutput, when given, receives each chunk of standard output as it arrives instead of
    // the outcome; standard error is always collected.
    static Outcome run(const QString &program, const QStringList &arguments,
                       const ChunkHandler &onOutput = {});
};
