#pragma once

#include <QString>

// Makes test media with ffmpeg's generated sources (testsrc2 pictures, a sine tone).
class MediaFactory
{
public:
    // An H.264/AAC MP4 of the given length, one key frame a second.
    static bool makeClip(const QString &path, double seconds, const QString &size = "320x240");
    // A silent H.264 MP4 of a lavfi video source (size, rate and length given in it), one key
    // frame a second.
    static bool makeVideoOf(const QString &path, const QString &lavfiSource);
    // A DASH presentation (manifest.mpd) with separate video and audio in folder.
    static bool makeDash(const QString &folder, double seconds);
    // A file of the given size (zeros), for transfers where only the bytes matter.
    static bool makeBlob(const QString &path, qint64 bytes);

private:
    static bool ffmpeg(const QStringList &arguments);
};
