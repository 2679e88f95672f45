#pragma once

#include "media/CMTime.h"
#include "store/XManagedObject.h"

#include <QUrl>

class XTask;

// One media file that a task downloaded. The store finds a task's files with filesForTask();
// a task holds no list of its files. The record learns what it shows of the file (name,
// page description, thumbnail, codec, size, duration) from the file itself; the media
// operations block the calling thread while ffprobe and ffmpeg run.
class XFile : public XManagedObject
{
public:
    enum Attribute {
        Url,
        LocalFile,
        Name,
        SourceDescription,
        Thumbnail,
        VideoEncodeName,
        Width,
        Height,
        Duration,
        Task,
    };

    static const EntityDescription &entity();

    // Reserved: nothing writes it.
    QString url() const { return textValue(Url); }
    void setUrl(const QString &url) { setText(Url, url); }
    // Absolute path of the media file.
    QString localFile() const { return textValue(LocalFile); }
    void setLocalFile(const QString &path) { setText(LocalFile, path); }
    // The file name without extension; what the history search matches.
    QString name() const { return textValue(Name); }
    void setName(const QString &name) { setText(Name, name); }
    // Read from the database when first asked for.
    QString source_description() const { return textValue(SourceDescription); }
    void setSource_description(const QString &text) { setText(SourceDescription, text); }
    // Read from the database when first asked for.
    QByteArray thumbnail() const { return blobValue(Thumbnail); }
    void setThumbnail(const QByteArray &image) { setBlob(Thumbnail, image); }
    QString videoEncodeName() const { return textValue(VideoEncodeName); }
    void setVideoEncodeName(const QString &codec) { setText(VideoEncodeName, codec); }
    std::optional<qint64> width() const { return integerValue(Width); }
    void setWidth(std::optional<qint64> pixels) { setInteger(Width, pixels); }
    std::optional<qint64> height() const { return integerValue(Height); }
    void setHeight(std::optional<qint64> pixels) { setInteger(Height, pixels); }
    std::optional<float> duration() const { return floatValue(Duration); }
    void setDuration(std::optional<float> seconds) { setFloat(Duration, seconds); }

    std::shared_ptr<XTask> task() const;
    void setTask(const std::shared_ptr<XTask> &task);

    // Fills name, description, a missing thumbnail and the media details from the file;
    // saves only when the file is gone.
    void refreshExtInfo();
    // NO only without a localFile; a file with no frame at all gets no thumbnail.
    bool makeBestThumbnail();
    QByteArray loadThumbnailByffmpegVideo(const QUrl &video, const CMTime &time) const;
    // "640 x 360    h264  00:00:02"; empty for a record never probed.
    QString videoDescription() const;
    // Where yt-dlp writes the page description of a media file: its extension replaced.
    static QString descriptionPathFor(const QString &mediaPath);

private:
    XFile();
    void takeDescriptionFile();
    void copyMediaDetails();
    static std::shared_ptr<XManagedObject> make();
};
