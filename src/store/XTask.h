#pragma once

#include "store/XManagedObject.h"

// One download task of the history. Status codes: 0 created (new, paused or interrupted),
// 1 downloading, 2 completed, 3 failed; an absent status is 0.
//
// The download and file operations of a task are added by the download and file work; this
// class holds its stored data. Numbers and flags are std::nullopt while absent.
class XTask : public XManagedObject
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

private:
    XTask();
    static std::shared_ptr<XManagedObject> make();
};
