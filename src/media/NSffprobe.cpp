#include "media/NSffprobe.h"

#include "download/NSterminal.h"
#include "media/NSTavoTools.h"
#include "platform/Log.h"

#include <QDir>
#include <QRegularExpression>

QString NSffprobe::run(const QString &ffprobeFolder, const QStringList &arguments, QString *error)
{
    if (ffprobeFolder.isNull()) {
        *error = QStringLiteral("No folder for ffprobe");
        return {};
    }
    return NSterminal::order(QDir(ffprobeFolder).filePath(QStringLiteral("ffprobe")), arguments,
                             error, ToolRunner::probeTimeLimitMs);
}

QString NSffprobe::detailMediaFileURL(const QUrl &file, const QString &ffprobeFolder)
{
    QString error;
    const QString text = run(ffprobeFolder, {file.toLocalFile()}, &error);
    if (!error.isEmpty()) {
        Log::line(QStringLiteral("detailMediaFileURL error:%1").arg(error));
        return {};
    }
    return text;
}

std::optional<NSMediaInfo> NSffprobe::videoEncodeNameFileURL(const QUrl &file,
                                                             const QString &ffprobeFolder)
{
    const QStringList arguments = {"-v",
                                   "error",
                                   "-select_streams",
                                   "v:0",
                                   "-show_entries",
                                   "stream=codec_name,codec_long_name,width,height,r_frame_rate",
                                   "-show_entries",
                                   "format=duration",
                                   "-of",
                                   "default=nokey=1:noprint_wrappers=1",
                                   file.toLocalFile()};
    QString error;
    const QString text = run(ffprobeFolder, arguments, &error);
    if (!error.isEmpty()) {
        Log::line(QStringLiteral("videoEncodeNameFileURL error:%1").arg(error));
        return std::nullopt;
    }
    if (text.isEmpty()) {
        Log::line(QStringLiteral("videoEncodeNameFileURL failed."));
        return std::nullopt;
    }
    return parseVideoEncodeName(text);
}

float NSffprobe::durationMediaFileURL(const QUrl &file, const QString &ffprobeFolder)
{
    const QStringList arguments = {
        "-i",  file.toLocalFile(), "-show_entries", "format=duration", "-v", "quiet",
        "-of", "csv=p=0"};
    QString error;
    const QString text = run(ffprobeFolder, arguments, &error);
    if (!error.isEmpty()) {
        // The text has always named the detail question here; log readers rely on it.
        Log::line(QStringLiteral("detailMediaFileURL error:%1").arg(error));
        return NSTavoTools::noDurationMark;
    }
    return parseDuration(text);
}

float NSffprobe::parseDuration(const QString &text)
{
    if (text.isEmpty()) return NSTavoTools::noDurationMark;
    return float(leadingDecimal(text));
}

std::optional<NSMediaInfo> NSffprobe::parseVideoEncodeName(const QString &text)
{
    const QStringList pieces = text.split(QLatin1Char('\n'));
    // A file without a video stream yields only its duration line.
    if (pieces.size() < 7) return std::nullopt;
    NSMediaInfo info;
    info.setVideoEncodeName(pieces[0]);
    info.setVideoWidth(leadingInteger(pieces[2]));
    info.setVideoHeight(leadingInteger(pieces[3]));
    info.setFps(frameRate(pieces[4]));
    for (qsizetype i = pieces.size() - 1; i >= 0; --i) {
        if (pieces[i].size() >= 2) {
            info.setDuration(float(leadingDecimal(pieces[i])));
            break;
        }
    }
    return info;
}

// "30000/1001" in single precision; 0/0 gives NaN, kept as ffprobe said it.
float NSffprobe::frameRate(const QString &piece)
{
    const QStringList parts = piece.split(QLatin1Char('/'));
    if (parts.size() != 2) return 0;
    return float(leadingDecimal(parts[0])) / float(leadingDecimal(parts[1]));
}

qint64 NSffprobe::leadingInteger(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*[+-]?\\d+"));
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() ? match.captured().trimmed().toLongLong() : 0;
}

double NSffprobe::leadingDecimal(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const QRegularExpressionMatch match = pattern.match(text);
    return match.hasMatch() ? match.captured().trimmed().toDouble() : 0;
}
