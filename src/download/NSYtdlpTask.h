#pragma once

#include "download/LineAssembler.h"
#include "download/NSYtdlpTaskDelegate.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <mutex>
#include <optional>

class QProcess;

// Runs one download of one page URL with yt-dlp (through the download script) and turns its
// log into progress, playlist position, finished files and a stop reason.
//
// The thread that calls downloadURL() owns the child and reads both of its streams while it
// runs; stop() may be called from any other thread. Settings are made before the run.
class NSYtdlpTask
{
public:
    NSYtdlpTask(const QString &shFile, NSYtdlpTaskDelegate *delegate);
    ~NSYtdlpTask();
    NSYtdlpTask(const NSYtdlpTask &) = delete;
    NSYtdlpTask &operator=(const NSYtdlpTask &) = delete;

    QString shFile() const { return m_shFile; }
    QUrl workingURL() const { return m_workingURL; }
    void setWorkingURL(const QUrl &url) { m_workingURL = url; }
    NSYtdlpTaskDelegate *delegate() const { return m_delegate.load(); }
    void setDelegate(NSYtdlpTaskDelegate *delegate) { m_delegate.store(delegate); }
    QString cookieBrowser() const { return m_cookieBrowser; }
    void setCookieBrowser(const QString &browser) { m_cookieBrowser = browser; }
    bool tryBestVideo() const { return m_tryBestVideo; }
    void setTryBestVideo(bool on) { m_tryBestVideo = on; }
    bool mustMP4Format() const { return m_mustMP4Format; }
    void setMustMP4Format(bool on) { m_mustMP4Format = on; }
    QString ffmpegPath() const { return m_ffmpegPath; }
    void setFfmpegPath(const QString &folder) { m_ffmpegPath = folder; }
    qint64 numberOfTotal() const { return m_numberOfTotal.load(); }
    qint64 numberOfCurrent() const { return m_numberOfCurrent.load(); }
    // The child of the current run has ended (its output is being read to the end).
    bool childHasEnded() const { return m_childEnded.load(); }

    // The words handed to yt-dlp, each value quoted for the shell that rebuilds them.
    QString optionString() const;

    // Runs the download and blocks until the child has ended. Returns the finished files
    // that exist, in order; an empty list stands for none.
    QStringList downloadURL(const QString &url);
    // Asks the running child (and everything it spawned) to end; returns at once with the
    // finished files that exist now.
    QStringList stop();
    // Ends the child group at once (SIGKILL), for when a polite stop is not waited for.
    void kill();

    // The log grammar.
    std::optional<QStringList> availableLogs(const QString &text, QString *stopReason) const;
    void analysisLog(const QString &line);
    void readLog(const QString &line, float *progress, qint64 *size, qint64 *speed);
    static QString getPartStringFromLog(const QString &line, const QString &pattern);

    // One reading pass over standard output text: filter, stop reason, analysis. Returns
    // true when it reported a stop reason to the delegate.
    bool readingPass(const QString &text);
    // The run's standard output as it arrives, in pieces of any size.
    void consumeOutput(QByteArrayView bytes);
    // The end of standard output: the final pass over what the monitor did not take.
    bool finishOutput(QByteArrayView rest);

    QStringList existingCompletedFiles() const;
    // The paths this run's deletion lines named (merge inputs yt-dlp removed), in order.
    QStringList deletedFiles() const;

private:
    bool startChild(QProcess &process, const QString &url);
    void monitor(QProcess &process);
    void collectErrorOutput(QByteArrayView bytes);
    bool finishErrorOutput();
    void reportExitFailure(const QProcess &process);
    void report(const QString &reason);
    void beginRun();
    void endRun();

    // Asks the delegate before a destination counts; stops the run when it is refused.
    bool destinationIsFree(const QString &path);
    void addCompletedFile(const QString &path);
    void removeCompletedFile(const QString &path);

    const QString m_shFile;
    std::atomic<NSYtdlpTaskDelegate *> m_delegate;
    QUrl m_workingURL;
    QString m_cookieBrowser = QStringLiteral("Firefox");
    QString m_ffmpegPath;
    bool m_tryBestVideo = false;
    bool m_mustMP4Format = false;

    std::atomic<qint64> m_numberOfTotal{1};
    std::atomic<qint64> m_numberOfCurrent{1};

    mutable std::mutex m_filesMutex;
    std::optional<QStringList> m_completedFiles;
    QStringList m_deletedFiles;

    // The running child: its pid for stop(), guarded so a stop never signals a stale pid.
    std::mutex m_childMutex;
    qint64 m_childPid = 0;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_childEnded{false};

    // Per-run reading state, touched only by the thread that runs the download.
    LineAssembler m_outputLines;
    LineAssembler m_errorLines;
    bool m_monitorEnded = false;
    bool m_stopReasonFound = false;
    bool m_destinationRefused = false;
    QString m_deferredOutput;
    QString m_errorText;
};
