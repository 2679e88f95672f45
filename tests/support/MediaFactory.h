#pragma once

#include <QString>
#include <QStringList>

// Makes test media with ffmpeg's generated sources (testsrc2 pictures, a sine tone). Small
// and short.
class MediaFactory
{
public:
    // One key frame a second, x264's fastest preset.
    static const QStringList everySecond;

    // Runs ffmpeg quietly, overwriting its output; true when it succeeded.
    static bool ffmpeg(const QStringList &arguments);
    // ffprobe's bare answer for the entries asked of file ("format=duration"); empty when it
    // fails.
    static QByteArray probe(const QString &file, const QString &entries);
    // An H.264/AAC MP4 of the given length, one key frame a second.
    static bool makeClip(const QString &path, double seconds, const QString &size = "320x240");
    // A silent H.264 MP4 of a lavfi graph (size, rate and length given in it), with these
    // encoder options.
    static bool makeVideoOf(const QString &path, const QString &graph,
                            const QStringList &encoderOptions = everySecond);
    // 640x360, black for three seconds, then testsrc2: as x264 does by default (a key frame at
    // the scene cut) or with a single key frame.
    static bool makeBlackStart(const QString &path, double seconds, bool singleKeyFrame);
    // Left half red, right half blue, tagged with a display rotation of 90 degrees.
    static bool makeRotated(const QString &path);
    // An AAC tone without video.
    static bool makeTone(const QString &path, double seconds);
    static bool remux(const QString &input, const QString &output, const QStringList &options);
    // A DASH presentation (manifest.mpd) with separate video and audio in folder.
    static bool makeDash(const QString &folder, double seconds);
    // A file of the given size (zeros), for transfers where only the bytes matter.
    static bool makeBlob(const QString &path, qint64 bytes);
};
