#include "download/NSYtdlpTask.h"

#include "platform/Log.h"
#include "platform/ProcessGroup.h"
#include "platform/ShellQuote.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <csignal>

namespace
{

// Standard error is only read for its last lines; a child that writes without end must not
// make the application grow without end.
constexpr qsizetype maximumErrorText = 8 << 20;
// How long yt-dlp's children get to end after it, before they are killed.
constexpr int childGraceMs = 3000;

QString formatFor(bool tryBestVideo, bool mustMP4Format)
{
    if (tryBestVideo)
        return mustMP4Format ? QStringLiteral("best[ext=mp4]") : QStringLiteral("bv*+ba/b");
    return mustMP4Format ? QStringLiteral("mp4") : QString();
}

QString lastErrorLine(const QString &errorText)
{
    const QStringList lines =
        QString(errorText).replace(QLatin1Char('\r'), QLatin1Char('\n')).split(QLatin1Char('\n'));
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QString line = it->trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1String("WARNING:"))) return line;
    }
    return {};
}

} // namespace

NSYtdlpTask::NSYtdlpTask(const QString &shFile, NSYtdlpTaskDelegate *delegate)
    : m_shFile(shFile), m_delegate(delegate)
{
}

NSYtdlpTask::~NSYtdlpTask() = default;

QString NSYtdlpTask::optionString() const
{
    const QString folder = m_workingURL.toLocalFile();
    QString options = QStringLiteral("-P ") + ShellQuote::quote(folder + QLatin1Char('/'));
    if (!m_ffmpegPath.isEmpty() && QFileInfo::exists(QDir(m_ffmpegPath).filePath("ffmpeg")))
        options += QStringLiteral(" --ffmpeg-location ") + ShellQuote::quote(m_ffmpegPath);
    if (!m_cookieBrowser.isEmpty())
        options += QStringLiteral(" --cookies-from-browser ") + ShellQuote::quote(m_cookieBrowser);
    const QString format = formatFor(m_tryBestVideo, m_mustMP4Format);
    if (!format.isEmpty()) options += QStringLiteral(" -f ") + ShellQuote::quote(format);
    options += QStringLiteral(" --write-description");
    return options;
}

QStringList NSYtdlpTask::downloadURL(const QString &url)
{
    if (m_workingURL.isEmpty()) {
        Log::line(zelvoDownload(), QStringLiteral("Working Path is nil."));
        return {};
    }
    beginRun();
    QProcess process;
    if (!startChild(process, url)) {
        report(QStringLiteral("Could not start /bin/sh for the download script: %1")
                   .arg(process.errorString()));
        return {};
    }
    const qint64 group = process.processId();
    monitor(process);
    // yt-dlp's own children (ffmpeg) can outlive it after a stop; a next run of the task must
    // not meet them still writing its pieces.
    if (!ProcessGroup::reap(group, childGraceMs))
        Log::line(zelvoDownload(), QStringLiteral("Processes of the download outlived it."));
    const bool stoppedByOutput = finishOutput(process.readAllStandardOutput());
    collectErrorOutput(process.readAllStandardError());
    endRun();
    if (!stoppedByOutput && !finishErrorOutput()) reportExitFailure(process);
    // Cleared at the end rather than the start, so that a stop asked for before the run
    // began still ends it (startChild signals the child at once).
    m_stopRequested.store(false);
    return existingCompletedFiles();
}

QStringList NSYtdlpTask::stop()
{
    m_stopRequested.store(true);
    {
        std::lock_guard locker(m_childMutex);
        ProcessGroup::signal(m_childPid, SIGTERM);
    }
    return existingCompletedFiles();
}

void NSYtdlpTask::kill()
{
    m_stopRequested.store(true);
    std::lock_guard locker(m_childMutex);
    ProcessGroup::signal(m_childPid, SIGKILL);
}

void NSYtdlpTask::beginRun()
{
    // Each run reports on itself only, should a runner be used for more than one.
    {
        std::lock_guard locker(m_filesMutex);
        m_completedFiles.reset();
        m_deletedFiles.clear();
    }
    m_numberOfCurrent.store(1);
    m_numberOfTotal.store(1);
    m_childEnded.store(false);
    m_monitorEnded = false;
    m_stopReasonFound = false;
    m_destinationRefused = false;
    m_deferredOutput.clear();
    m_errorText.clear();
    m_outputLines.finish();
    m_errorLines.finish();
}

bool NSYtdlpTask::startChild(QProcess &process, const QString &url)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PYTHONIOENCODING"), QStringLiteral("utf-8"));
    process.setProcessEnvironment(environment);
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({m_shFile, m_workingURL.toLocalFile(), url, optionString()});
    ProcessGroup::makeLeader(process);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) return false;
    std::lock_guard locker(m_childMutex);
    m_childPid = process.processId();
    // A stop that came while the child was starting must still reach it.
    if (m_stopRequested.load()) ProcessGroup::signal(m_childPid, SIGTERM);
    return true;
}

void NSYtdlpTask::monitor(QProcess &process)
{
    while (process.state() != QProcess::NotRunning) {
        if (!process.waitForReadyRead(100) && process.state() != QProcess::NotRunning)
            process.waitForFinished(100); // output closed early: still drain and wait
        consumeOutput(process.readAllStandardOutput());
        collectErrorOutput(process.readAllStandardError());
    }
}

void NSYtdlpTask::endRun()
{
    std::lock_guard locker(m_childMutex);
    m_childPid = 0;
    m_childEnded.store(true);
}

void NSYtdlpTask::consumeOutput(QByteArrayView bytes)
{
    const QString text = m_outputLines.feed(bytes);
    if (text.isEmpty()) return;
    // Once the monitor has reported a stop reason it reads no further; the rest of the
    // output is read in one final pass when the child has ended.
    if (m_monitorEnded) {
        m_deferredOutput += text;
        return;
    }
    if (readingPass(text)) m_monitorEnded = true;
}

bool NSYtdlpTask::finishOutput(QByteArrayView rest)
{
    if (m_destinationRefused) return true;
    QString text = m_deferredOutput + m_outputLines.feed(rest) + m_outputLines.finish();
    m_deferredOutput.clear();
    if (text.isEmpty()) return false;
    return readingPass(text);
}

void NSYtdlpTask::collectErrorOutput(QByteArrayView bytes)
{
    if (bytes.isEmpty()) return;
    m_errorText += m_errorLines.feed(bytes);
    if (m_errorText.size() <= maximumErrorText) return;
    const qsizetype cut =
        m_errorText.indexOf(QLatin1Char('\n'), m_errorText.size() - maximumErrorText / 2);
    m_errorText.remove(0, cut < 0 ? m_errorText.size() - maximumErrorText / 2 : cut + 1);
}

bool NSYtdlpTask::finishErrorOutput()
{
    m_errorText += m_errorLines.finish();
    if (m_errorText.isEmpty()) return false;
    QString reason;
    // Standard error's kept lines are not analysed; it is read for its stop reason only.
    if (availableLogs(m_errorText, &reason) || !delegate()) return false;
    report(reason);
    return true;
}

void NSYtdlpTask::reportExitFailure(const QProcess &process)
{
    // A child that died without an "ERROR: " line (a Python traceback, a signal) and left no
    // file must not pass for a download that found nothing.
    const bool failed = process.exitStatus() == QProcess::CrashExit || process.exitCode() != 0;
    if (!failed || m_stopReasonFound || m_stopRequested.load() ||
        !existingCompletedFiles().isEmpty())
        return;
    QString reason = lastErrorLine(m_errorText);
    if (reason.isEmpty()) {
        reason = process.exitStatus() == QProcess::CrashExit
                     ? QStringLiteral("yt-dlp was killed by signal %1").arg(process.exitCode())
                     : QStringLiteral("yt-dlp exited with status %1").arg(process.exitCode());
    }
    report(reason);
}

void NSYtdlpTask::report(const QString &reason)
{
    m_stopReasonFound = true;
    if (NSYtdlpTaskDelegate *target = delegate()) target->downloadStoppedWithReason(reason);
}

QStringList NSYtdlpTask::existingCompletedFiles() const
{
    std::lock_guard locker(m_filesMutex);
    QStringList existing;
    if (!m_completedFiles) return existing;
    for (const QString &path : *m_completedFiles) {
        if (QFileInfo(path).isFile()) existing << path;
    }
    return existing;
}

void NSYtdlpTask::addCompletedFile(const QString &path)
{
    std::lock_guard locker(m_filesMutex);
    if (!m_completedFiles) m_completedFiles.emplace();
    m_completedFiles->append(path);
}

QStringList NSYtdlpTask::deletedFiles() const
{
    std::lock_guard locker(m_filesMutex);
    return m_deletedFiles;
}

void NSYtdlpTask::removeCompletedFile(const QString &path)
{
    std::lock_guard locker(m_filesMutex);
    if (m_completedFiles) m_completedFiles->removeAll(path);
    if (!path.isEmpty()) m_deletedFiles.append(path);
}
