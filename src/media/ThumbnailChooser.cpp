#include "media/ThumbnailChooser.h"

#include "media/NSTavoTools.h"
#include "media/NSffmpeg.h"
#include "media/VideoFrameSource.h"
#include "platform/Log.h"
#include "store/StoredSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

#include <algorithm>

namespace
{

constexpr qint64 firstTryMs = 100;
constexpr qint64 lastTryMs = 10100;
constexpr float longestSide = 1000.0f;
constexpr qsizetype largeThumbnailBytes = 1000000;

} // namespace

QByteArray ThumbnailChooser::bestThumbnail(const QUrl &video)
{
    // A short clip gives no frame past its end: the last frame obtained is kept, not the
    // nothing of the last try.
    QByteArray kept;
    VideoFrameSource source(video.toLocalFile());
    for (qint64 ms = firstTryMs; ms <= lastTryMs; ms += 1000) {
        const QByteArray data = frameAt(source, video, CMTime{ms, 1000});
        if (data.isEmpty()) continue;
        kept = data;
        if (!NSTavoTools::isImageTooSimple(QImage::fromData(kept))) break;
    }
    return shrunk(kept);
}

QByteArray ThumbnailChooser::frameAt(VideoFrameSource &source, const QUrl &video,
                                     const CMTime &time)
{
    const QByteArray data = NSTavoTools::keyFrameThumbnail(source, time);
    if (!data.isEmpty()) return data;
    // The key frame is too far off: the frame ffmpeg would give, decoded here when the
    // libraries can read the file, by the command when they cannot.
    if (!source.isReadable()) return ffmpegFrame(video, time);
    const VideoFrameSource::Frame exact = source.frameAt(double(time.wholeSeconds()));
    return exact.image.isNull() ? QByteArray() : NSTavoTools::jpegBytes(exact.image);
}

QByteArray ThumbnailChooser::shrunk(const QByteArray &jpeg)
{
    const QImage image = QImage::fromData(jpeg);
    if (image.isNull() || (image.width() <= longestSide && image.height() <= longestSide))
        return jpeg;
    const float scale =
        std::max(float(image.width()) / longestSide, float(image.height()) / longestSide);
    const QImage resized =
        NSTavoTools::resizeImage(image, QSizeF(image.width() / scale, image.height() / scale));
    const QByteArray encoded = NSTavoTools::jpegBytes(resized);
    if (encoded.size() > largeThumbnailBytes)
        Log::line(QStringLiteral("Thumbnail is larger still %1").arg(encoded.size()));
    return encoded;
}

QByteArray ThumbnailChooser::ffmpegFrame(const QUrl &video, const CMTime &time)
{
    if (video.isEmpty()) return {};
    const QString name = QString::asprintf("swap_%lld_%.6u.jpg", QDateTime::currentSecsSinceEpoch(),
                                           QRandomGenerator::global()->generate());
    const QString folder = StoredSettings::ytdlpPath().toLocalFile();
    if (folder.isEmpty()) return {}; // no working folder to hold the temporary frame
    const QString swap = QDir(folder).filePath(name);
    QFile::remove(swap);
    if (video.toLocalFile().isEmpty()) return {};
    const float second = float(time.wholeSeconds());
    const bool ok =
        NSffmpeg::loadThumbnailInfoFile(swap, QUrl::fromLocalFile(video.toLocalFile()), second,
                                        StoredSettings::ffmpegURL().toLocalFile());
    QFile file(swap);
    const QByteArray data = ok && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    // ffmpeg may leave a file even when it fails; it never stays behind.
    QFile::remove(swap);
    return data;
}
