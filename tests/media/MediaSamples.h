#pragma once

#include <QString>
#include <QStringList>

// The media the media tests need, made with ffmpeg's generated sources. Small and short.
class MediaSamples
{
public:
    // Black for the first three seconds, then testsrc2. Encoded as x264 does by default (a key
    // frame at the scene cut), or with a single key frame at the start.
    static bool blackStart(const QString &path, double seconds, const QString &size,
                           bool singleKeyFrame);
    // Left half red, right half blue, tagged with a display rotation of 90 degrees.
    static bool rotated(const QString &path);
    static bool audioOnly(const QString &path, double seconds);
    // A copy of input with other options (a remux, one stream of it).
    static bool remux(const QString &input, const QString &output, const QStringList &options);
    // testsrc2 with key frames only at the given times.
    static bool keyFramesAt(const QString &path, double seconds, const QString &times);
    static bool webm(const QString &path, double seconds);
    // One picture of testsrc2, or of two flat colour blocks.
    static bool naturalPicture(const QString &path, const QString &size);
    static bool twoBlockPicture(const QString &path);
    // The frame ffmpeg itself gives at a time (with its own autorotation).
    static bool frameByFfmpeg(const QString &video, double second, const QString &path);

    static bool ffmpeg(const QStringList &arguments);
};
