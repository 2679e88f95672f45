// The download of a task: the run of its runner and what the run's reports do to the record.
#include "download/NSYtdlpTask.h"
#include "platform/Log.h"
#include "platform/Resources.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "store/XTask.h"

#include <QDateTime>
#include <QFileInfo>

#include <limits>

namespace
{

constexpr qint64 statusCreated = 0;
constexpr qint64 statusDownloading = 1;
constexpr qint64 statusCompleted = 2;
constexpr qint64 statusFailed = 3;

quint64 truncatedSpeed(float speed)
{
    if (!(speed > 0)) return 0;
    if (speed >= 1.8e19f) return std::numeric_limits<quint64>::max();
    return static_cast<quint64>(speed);
}

} // namespace

std::shared_ptr<NSYtdlpTask> XTask::worker() const
{
    std::lock_guard locker(m_runMutex);
    return m_worker;
}

std::shared_ptr<NSYtdlpTask> XTask::makeWorker()
{
    auto runner = std::make_shared<NSYtdlpTask>(
        Resources::pathForResource(QStringLiteral("ytdlp"), QStringLiteral("sh")), this);
    runner->setCookieBrowser(browers());
    runner->setWorkingURL(StoredSettings::ytdlpPath());
    runner->setTryBestVideo(tryBestVideo().value_or(false));
    runner->setMustMP4Format(mustMP4Format().value_or(false));
    std::lock_guard locker(m_runMutex);
    m_worker = runner;
    // A pause that came before this runner existed still stops it (before it starts).
    if (m_pauseMark) runner->stop();
    return runner;
}

void XTask::setDownloading()
{
    std::lock_guard locker(m_runMutex);
    m_pauseMark = false;
    m_completing = false;
    setStatus(statusDownloading);
}

bool XTask::startDownload()
{
    const std::shared_ptr<NSYtdlpTask> runner = makeWorker();
    if (runner->workingURL().isEmpty()) {
        // Nothing runs, so the task must not show as downloading.
        Log::line(
            QStringLiteral("XTask startDownload: yt-dlp is not installed in a working folder."));
        setStatus(statusCreated);
        save();
        return false;
    }
    runner->setFfmpegPath(runner->workingURL().toLocalFile());
    const QStringList files = runner->downloadURL(url());
    forgetDeletedFiles(runner->deletedFiles());
    saveLocalFiles(files);
    return completeIfStillDownloading();
}

// A merge input recorded by an earlier run is gone once this run's merge deleted it.
void XTask::forgetDeletedFiles(const QStringList &deleted)
{
    XCoreDataManagement *own = store();
    if (deleted.isEmpty() || !own) return;
    for (const auto &file : ownFiles()) {
        if (deleted.contains(file->localFile()) && !QFileInfo::exists(file->localFile()))
            own->deleteFile(file);
    }
}

bool XTask::completeIfStillDownloading()
{
    {
        std::lock_guard locker(m_runMutex);
        if (m_pauseMark || currentStatus() != statusDownloading) return false;
        m_completing = true;
    }
    makeBestThumbnail();
    setCompletedDate(QDateTime::currentDateTime());
    setStatus(statusCompleted);
    setSource_description(tryDescriptionFromSource());
    save();
    return true;
}

void XTask::pauseDownload()
{
    std::shared_ptr<NSYtdlpTask> runner;
    {
        std::lock_guard locker(m_runMutex);
        if (m_completing) return;
        m_pauseMark = true;
        runner = m_worker;
    }
    if (runner) runner->stop();
    setStatus(statusCreated);
    save();
}

void XTask::progress(float progress, float size, float speed)
{
    Q_UNUSED(size);
    std::lock_guard locker(m_runMutex);
    if (m_pauseMark) return;
    m_progress.store(progress);
    m_speed.store(truncatedSpeed(speed));
    setStatus(statusDownloading);
}

void XTask::downloadStoppedWithReason(const QString &reason)
{
    {
        std::lock_guard locker(m_runMutex);
        // A yt-dlp ended by a pause may still say "ERROR: Interrupted by user".
        if (m_pauseMark) return;
        setFailed_reason(reason);
        setStatus(statusFailed);
    }
    save();
}
