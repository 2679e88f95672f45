#pragma once

#include "download/NSYtdlpTaskDelegate.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QString>

#include <atomic>
#include <cstdio>

class NSYtdlpTask;

// Hears one download run (on its thread) and shows it on the main thread: one refreshed
// line on a terminal, else at most one plain line a second.
class CliProgress : public NSYtdlpTaskDelegate
{
public:
    explicit CliProgress(FILE *stream);

    void downloadStoppedWithReason(const QString &reason) override;
    void progress(float progress, float size, float speed) override;

    QString stopReason() const;
    // Called on the main thread, often; prints only when there is something new to say.
    void show(const NSYtdlpTask &task);
    // Ends the refreshed line so later output starts on a line of its own.
    void finish();
    void say(const QString &text);

private:
    QString describe(const NSYtdlpTask &task) const;

    FILE *m_stream;
    const bool m_terminal;
    std::atomic<float> m_progress{0};
    std::atomic<float> m_size{0};
    std::atomic<float> m_speed{0};
    std::atomic<bool> m_seen{false};
    mutable QMutex m_reasonMutex;
    QString m_stopReason;
    QString m_lastShown;
    QElapsedTimer m_sincePlainLine;
    bool m_lineOpen = false;
};
