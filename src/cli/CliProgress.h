#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdio>

class XTask;

// Shows a running task (or any long job) on standard error, from the main thread, as the
// downloading view would poll it: one refreshed line on a terminal, else at most one plain line a
// second.
class CliProgress
{
public:
    explicit CliProgress(FILE *stream);

    // Called often; prints only when there is something new to say.
    void show(const XTask &task);
    // Any one-line state, shown the same way.
    void showText(const QString &line);
    // Ends the refreshed line so later output starts on a line of its own.
    void finish();
    void say(const QString &text);

private:
    static QString describe(const XTask &task);

    FILE *m_stream;
    const bool m_terminal;
    QString m_lastShown;
    QElapsedTimer m_sincePlainLine;
    bool m_lineOpen = false;
};
