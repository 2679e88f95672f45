#include "media/NSTavoTools.h"

#include "media/VideoFrameSource.h"
#include "platform/Log.h"

#include <QBuffer>
#include <QImageWriter>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace
{

NSTavoTools::AlertHandler &alertHandler()
{
    static NSTavoTools::AlertHandler handler;
    return handler;
}

// Qt has no medium style: the long form without the weekday, with the abbreviated month.
QString mediumDateFormat(const QLocale &locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("dddd[,\\s]*")));
    format.remove(QRegularExpression(QStringLiteral("[,\\s]*dddd")));
    format.replace(QRegularExpression(QStringLiteral("(?<!M)MMMM(?!M)")), QStringLiteral("MMM"));
    return format.trimmed();
}

// The long time of day (with seconds) without its time-zone name.
QString mediumTimeFormat(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.replace(QRegularExpression(QStringLiteral("\\s*(?<![A-Za-z'])t(?![A-Za-z'])\\s*")),
                   QStringLiteral(" "));
    return format.trimmed();
}

} // namespace

QString NSTavoTools::stringNetworkSpeed(quint64 count)
{
    if (count < 1024) return QString::asprintf("%lld Bit/s", static_cast<long long>(count));
    // Single precision, as the text has always been computed.
    float f = static_cast<float>(count) * (1.0f / 1024.0f);
    if (f >= 1024.0f) {
        f *= 1.0f / 1024.0f;
        return QString::asprintf("%.1f Mib/s", static_cast<double>(f));
    }
    return QString::asprintf("%.1f Kib/s", static_cast<double>(f));
}

QString NSTavoTools::stringForDate(const QDateTime &date)
{
    const QLocale locale;
    const QDateTime local = date.toLocalTime();
    return locale.toString(local.date(), mediumDateFormat(locale)) + QStringLiteral(", ") +
           locale.toString(local.time(), mediumTimeFormat(locale));
}

// Float to int is undefined for NaN and out-of-range values: NaN reads 0, the rest saturates.
int NSTavoTools::saturatedSeconds(double seconds)
{
    if (std::isnan(seconds)) return 0;
    if (seconds >= double(INT_MAX)) return INT_MAX;
    if (seconds <= double(INT_MIN)) return INT_MIN;
    return static_cast<int>(seconds);
}

QString NSTavoTools::stringForDuration(float seconds)
{
    const int s = saturatedSeconds(seconds);
    const int hours = s / 3600;
    const int rest = s - 3600 * hours;
    const int minutes = rest / 60;
    return QString::asprintf("%02d:%02d:%02d", hours, minutes, rest - 60 * minutes);
}

// Rounded to hundredths before the split, so 119.996 reads 00:02:0.00 and never 00:01:60.00,
// which ffmpeg refuses.
QString NSTavoTools::stringForAccurateDuration(float seconds)
{
    const double hundredths = std::isnan(seconds) ? 0.0
                                                  : std::clamp(std::round(double(seconds) * 100.0),
                                                               100.0 * INT_MIN, 100.0 * INT_MAX);
    const int s = saturatedSeconds(std::trunc(hundredths / 100.0));
    const int hours = s / 3600;
    const int minutes = (s - 3600 * hours) / 60;
    const double wholeMinutes = 3600.0 * hours + 60.0 * minutes;
    const double rest = (hundredths - wholeMinutes * 100.0) / 100.0;
    return QString::asprintf("%02d:%02d:%02.2f", hours, minutes, rest);
}

bool NSTavoTools::isImageTooSimple(const QImage &image)
{
    if (image.isNull()) return true;
    return checkLowColorDiversity(image);
}

bool NSTavoTools::checkLowColorDiversity(const QImage &image)
{
    if (image.isNull()) return true;
    // Premultiplied, as the pixels have always been drawn; frames arrive as RGB32 and need no copy.
    QImage pixels = image;
    if (pixels.format() != QImage::Format_RGB32 &&
        pixels.format() != QImage::Format_ARGB32_Premultiplied)
        pixels = pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);

    std::array<quint8, 4096> seen{};
    const int width = pixels.width();
    for (int y = 0; y < pixels.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb p = line[x];
            seen[((p >> 12) & 0xF00) | ((p >> 8) & 0xF0) | ((p >> 4) & 0xF)] = 1;
        }
    }
    int distinct = 0;
    for (quint8 flag : seen)
        distinct += flag;
    return distinct < 50;
}

QImage NSTavoTools::resizeImage(const QImage &image, const QSizeF &size)
{
    const QSize pixels(qRound(size.width()), qRound(size.height()));
    return image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QByteArray NSTavoTools::jpegBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    if (!writer.write(image)) return {};
    return bytes;
}

QByteArray NSTavoTools::loadThumbnailBymacOSVideo(const QUrl &video, const CMTime &time)
{
    VideoFrameSource source(video.toLocalFile());
    return keyFrameThumbnail(source, time);
}

QByteArray NSTavoTools::keyFrameThumbnail(VideoFrameSource &source, const CMTime &time)
{
    const VideoFrameSource::Frame frame = source.keyFrameAt(time.seconds());
    if (frame.image.isNull()) {
        Log::line(QStringLiteral("Error extracting image: %1").arg(source.errorString()));
        return {};
    }
    const qint64 requested = time.wholeSeconds();
    const qint64 actual = frame.time.wholeSeconds();
    if (std::llabs(requested - actual) > 1.1) return {};
    return jpegBytes(frame.image);
}

float NSTavoTools::loadDurationBymacOSVideo(const QUrl &video)
{
    if (video.isEmpty()) return noDurationMark;
    const CMTime duration = VideoFrameSource(video.toLocalFile()).duration();
    const qint64 whole = duration.wholeSeconds();
    return whole == 0 ? noDurationMark : float(whole);
}

void NSTavoTools::alertMessage(const QString &text)
{
    if (alertHandler())
        alertHandler()(text);
    else
        Log::line(text);
}

void NSTavoTools::setAlertHandler(AlertHandler handler)
{
    alertHandler() = std::move(handler);
}
