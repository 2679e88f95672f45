#pragma once

#include "media/NSMediaInfo.h"

#include <QString>
#include <QUrl>

#include <optional>

// The three questions put to ffprobe. Each runs "<folder>/ffprobe" to completion on the
// calling thread; the folder is the working folder that holds the tools.
class NSffprobe
{
public:
    // ffprobe's text report (banner, container and streams), or null.
    static QString detailMediaFileURL(const QUrl &file, const QString &ffprobeFolder);
    // Codec, size, rate and duration of the first video stream; nothing for a file without video.
    static std::optional<NSMediaInfo> videoEncodeNameFileURL(const QUrl &file,
                                                             const QString &ffprobeFolder);
    // The container's duration in seconds: the no-duration mark when ffprobe cannot run or says
    // nothing, 0 when it answers with something other than a number.
    static float durationMediaFileURL(const QUrl &file, const QString &ffprobeFolder);

    // Reads the default writer's lines: codec, long name, width, height, rate, ..., duration.
    static std::optional<NSMediaInfo> parseVideoEncodeName(const QString &text);
    // Reads the duration question's answer: the no-duration mark for no text, else its
    // leading decimal number (0 when it has none).
    static float parseDuration(const QString &text);

private:
    static QString run(const QString &ffprobeFolder, const QStringList &arguments, QString *error);
    static qint64 leadingInteger(const QString &text);
    static double leadingDecimal(const QString &text);
    static float frameRate(const QString &piece);
};
