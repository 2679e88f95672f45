#pragma once

#include "download/NSYtdlpTaskDelegate.h"
#include "media/CMTime.h"
#include "store/FileEntry.h"
#include "store/XManagedObject.h"

#include <QList>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <mutex>

class NSYtdlpTask;
class XCoreDataManagement;
class XFile;

// One download task of the history. Status codes: 0 created (new, paused or interrupted),
// 1 downloading, 2 completed, 3 failed; an absent status is 0.
//
// Numbers and flags are std::nullopt while absent. A task is the delegate of its own runner:
// startDownload runs on a worker thread, pauseDownload and every reading on the main thread.
class XTask : public XManagedObject, public NSYtdlpTaskDelegate
{
public:
    enum Attribute {
        CreateDate,
        CompletedDate,
        Url,
        Browers,
        SourceDescription,
        Note,
        LocalFile,
        Thumbnail,
        Status,
        TryBestVideo,
        MustMP4Format,
        FailedReason,
        VideoWidth,
        VideoHeight,
        VideoEncodeName,
        Duration,
        PartialFiles,
    };

    static const EntityDescription &entity();

    qint64 currentStatus() const { return status().value_or(0); }

    QDateTime createDate() const { return dateValue(CreateDate); }
    void setCreateDate(const QDateTime &date) { setDate(CreateDate, date); }
    QDateTime completedDate() const { return dateValue(CompletedDate); }
    void setCompletedDate(const QDateTime &date) { setDate(CompletedDate, date); }
    QString url() const { return textValue(Url); }
    void setUrl(const QString &url) { setText(Url, url); }
    QString browers() const { return textValue(Browers); }
    void setBrowers(const QString &browser) { setText(Browers, browser); }
    // Read from the database when first asked for.
    QString source_description() const { return textValue(SourceDescription); }
    void setSource_description(const QString &text) { setText(SourceDescription, text); }
    QString note() const { return textValue(Note); }
    void setNote(const QString &note) { setText(Note, note); }
    // The legacy file list: absolute paths joined by line feeds; absent for new tasks.
    QString localFile() const { return textValue(LocalFile); }
    void setLocalFile(const QString &paths) { setText(LocalFile, paths); }
    // Read from the database when first asked for.
    QByteArray thumbnail() const { return blobValue(Thumbnail); }
    void setThumbnail(const QByteArray &image) { setBlob(Thumbnail, image); }
    std::optional<qint64> status() const { return integerValue(Status); }
    void setStatus(std::optional<qint64> code) { setInteger(Status, code); }
    std::optional<bool> tryBestVideo() const { return boolValue(TryBestVideo); }
    void setTryBestVideo(std::optional<bool> on) { setBool(TryBestVideo, on); }
    std::optional<bool> mustMP4Format() const { return boolValue(MustMP4Format); }
    void setMustMP4Format(std::optional<bool> on) { setBool(MustMP4Format, on); }
    QString failed_reason() const { return textValue(FailedReason); }
    void setFailed_reason(const QString &reason) { setText(FailedReason, reason); }
    std::optional<qint64> videoWidth() const { return integerValue(VideoWidth); }
    void setVideoWidth(std::optional<qint64> width) { setInteger(VideoWidth, width); }
    std::optional<qint64> videoHeight() const { return integerValue(VideoHeight); }
    void setVideoHeight(std::optional<qint64> height) { setInteger(VideoHeight, height); }
    QString videoEncodeName() const { return textValue(VideoEncodeName); }
    void setVideoEncodeName(const QString &codec) { setText(VideoEncodeName, codec); }
    std::optional<float> duration() const { return floatValue(Duration); }
    void setDuration(std::optional<float> seconds) { setFloat(Duration, seconds); }
    // The destinations a download named whose pieces (".part", ".part-Frag…", ".ytdl") may
    // still lie on the disk: absolute paths joined by line feeds; absent when none.
    QStringList partialFiles() const { return pathList(PartialFiles); }
    // A list of paths kept in one text (LocalFile, PartialFiles), one per line.
    QStringList pathList(Attribute list) const;

    // The download (blocking, on a worker thread; the caller has set status 1 and holds the
    // task's claim). YES when the task completed. Without a working folder holding yt-dlp
    // it answers NO at once and puts the task back to status 0.
    bool startDownload();
    // Status 1 for a new run, whose reports count again; called before startDownload while
    // no run of the task is going on.
    void setDownloading();
    // Stops the running download and sets status 0; reports still coming from that run change
    // nothing. Does nothing once the run has begun to complete.
    void pauseDownload();
    void downloadStoppedWithReason(const QString &reason) override;
    void progress(float progress, float size, float speed) override;
    float progress() const { return m_progress.load(); }
    quint64 speed() const { return m_speed.load(); }
    // The runner of the current or last start; null before the first.
    std::shared_ptr<NSYtdlpTask> worker() const;

    // The task's files: its legacy file list when it has one, else its file records.
    QList<FileEntry> loadLocalFiles() const;
    QList<QUrl> loadLocalURLs() const;
    // Turns a legacy file list into file records.
    void checkAndUpdate();
    // Records finished files, skipping ".part" pieces and names the task already has, and
    // forgets the partial files that no longer have a piece on the disk (a run has ended).
    void saveLocalFiles(const QStringList &paths);
    // A download named the destination it writes: its pieces go when the task is removed.
    void destinationNamed(const QString &path) override;
    // Deletes the files of the task's records and the pieces of its partial files from the
    // disk, except what another task also names.
    void removeLocationFiles();
    bool fileUnderPath(const QString &text) const;
    // Moves every file into the folder, never over an existing file; NO when one could not
    // be moved (each record keeps the path where its file really is).
    bool moveFilesTo(const QString &folder);
    QUrl availableVideoURL() const;
    bool makeBestThumbnail();
    QByteArray loadThumbnailByffmpegVideo(const QUrl &video, const CMTime &time) const;
    QByteArray firstVideoFileThumbnail() const;
    QString tryDescriptionFromSource();
    QString mergeFilesByffmpeg(const QList<QUrl> &files) const;

private:
    XTask();
    static std::shared_ptr<XManagedObject> make();

    std::shared_ptr<XTask> self() const;
    // The file records of the task in its own store.
    QList<std::shared_ptr<XFile>> ownFiles() const;
    std::shared_ptr<NSYtdlpTask> makeWorker();
    void forgetDeletedFiles(const QStringList &deleted);
    void setPartialFiles(const QStringList &paths);
    void forgetFinishedPartialFiles();
    void removePartialPieces(XCoreDataManagement &store);
    bool completeIfStillDownloading();
    bool moveEntry(const FileEntry &entry, const QString &folder, QStringList &legacyPaths);

    std::atomic<float> m_progress{0};
    std::atomic<quint64> m_speed{0};
    // Guards the worker and the run's marks: a pause and the move to status 2 take it, so
    // exactly one of them wins.
    mutable std::mutex m_runMutex;
    std::shared_ptr<NSYtdlpTask> m_worker;
    bool m_pauseMark = false;
    bool m_completing = false;
};
