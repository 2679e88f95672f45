#pragma once

#include <QString>
#include <QStringList>

// The media the media tests need beyond MediaFactory's clips, made with ffmpeg's generated
// sources. Small and short.
class MediaSamples
{
public:
    static bool ffmpeg(const QStringList &arguments);
    // The lavfi graph's video as H.264, with extra encoder options.
    static bool video(const QString &path, const QString &graph, const QStringList &options = {});
    // 640x360, black for three seconds, then testsrc2: as x264 does by default (a key frame at
    // the scene cut) or with a single key frame.
    static bool blackStart(const QString &path, double seconds, bool singleKeyFrame);
    // Left half red, right half blue, tagged with a display rotation of 90 degrees.
    static bool rotated(const QString &path);
    static bool audioOnly(const QString &path, double seconds);
    static bool remux(const QString &input, const QString &output, const QStringList &options);
};
