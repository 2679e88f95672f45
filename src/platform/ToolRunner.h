#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// How one ToolRunner run may go (outside the class, so that it can be a default argument).
struct ToolRunOptions {
    using ChunkHandler = std::function<void(const QByteArray &)>;
    // After this the child is killed and the outcome says timedOut; -1: no limit.
    int timeLimitMs = -1;
    // Receives each chunk of standard output as it arrives, instead of the outcome.
    ChunkHandler onOutput;
};

// Runs an outside tool to completion: the one place that starts a child and waits for it.
// Both pipes are drained while the tool runs, so a chatty child never blocks. Every run has a
// time limit (or is ended by the thread's ToolCancellation), so no wait can hang its caller.
class ToolRunner
{
public:
    static constexpr int noTimeLimit = -1;
    // A version, a probe, one frame.
    static constexpr int probeTimeLimitMs = 10'000;

    struct Outcome {
        bool started = false;
        QString launchError;
        bool crashed = false;
        bool timedOut = false;
        bool cancelled = false;
        int exitCode = -1;
        QByteArray standardOutput;
        QByteArray standardError;

        bool exitedCleanly() const
        {
            return started && !crashed && !timedOut && !cancelled && exitCode == 0;
        }
        // Standard output when there is any, else standard error, as NSterminal answers.
        QString text() const;
    };
    using ChunkHandler = ToolRunOptions::ChunkHandler;

    using Options = ToolRunOptions;

    // A bare program name is taken relative to the working directory, never searched on PATH.
    static Outcome run(const QString &program, const QStringList &arguments,
                       const Options &options = {});
};
