#pragma once

#include "media/CMTime.h"

#include <QByteArray>
#include <QDateTime>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QUrl>

#include <functional>

class VideoFrameSource;

// The shared toolbox: the texts in which speeds, dates and durations are shown or passed to
// ffmpeg, the test that rejects plain frames as thumbnails, image scaling, in-process frame and
// duration reading, and the one-button alert.
class NSTavoTools
{
public:
    using AlertHandler = std::function<void(const QString &)>;

    // "%lld Bit/s" below 1024, then "%.1f Kib/s", then "%.1f Mib/s" (no larger unit).
    static QString stringNetworkSpeed(quint64 count);
    // The locale's medium date and time (abbreviated month, seconds) in the system time zone.
    static QString stringForDate(const QDateTime &date);
    // Whole seconds, truncated, as "%02d:%02d:%02d"; hours are not limited to two digits.
    static QString stringForDuration(float seconds);
    // "%02d:%02d:%02.2f", the form ffmpeg's "-t" reads: 100.25 gives "00:01:40.25".
    static QString stringForAccurateDuration(float seconds);

    // A null image counts as too simple.
    static bool isImageTooSimple(const QImage &image);
    // Fewer than 50 distinct colours when each channel is cut to its top four bits.
    static bool checkLowColorDiversity(const QImage &image);
    // The whole image stretched to the size, each side rounded to the nearest pixel.
    static QImage resizeImage(const QImage &image, const QSizeF &size);

    // JPEG of the key frame at or before the time, or null when it is more than a second off.
    static QByteArray loadThumbnailBymacOSVideo(const QUrl &video, const CMTime &time);
    // The same from a source that stays open for the next question.
    static QByteArray keyFrameThumbnail(VideoFrameSource &source, const CMTime &time);
    // Null when the image cannot be encoded.
    static QByteArray jpegBytes(const QImage &image);
    // Whole seconds of the file; the no-duration mark when unknown or unreadable.
    static float loadDurationBymacOSVideo(const QUrl &video);

    // Shows the text with the installed handler (the desktop alert); logs it when none is set.
    static void alertMessage(const QString &text);
    static void setAlertHandler(AlertHandler handler);

    // The largest finite 32-bit float: no duration is known.
    static constexpr float noDurationMark = 3.40282346638528859811704183484516925440e+38f;

private:
    static int saturatedSeconds(double seconds);
};
