#pragma once

#include "media/CMTime.h"

#include <QByteArray>
#include <QUrl>

class VideoFrameSource;

// Picks a video's thumbnail the way the history shows it: the first sampled frame (0.1 s,
// then every second up to 10.1 s) that is not a plain picture, as JPEG, its longer side at
// most 1000 pixels. Shared by the file and the task records.
class ThumbnailChooser
{
public:
    // Null when no frame could be had at all.
    static QByteArray bestThumbnail(const QUrl &video);
    // The frame at the whole second of time, through ffmpeg and a temporary
    // "swap_<seconds>_<random>.jpg" in the working folder that never outlives the call.
    static QByteArray ffmpegFrame(const QUrl &video, const CMTime &time);
    // One try of the choice: the key frame when it is within the second, else the frame at the
    // whole second as ffmpeg gives it (in process when the libraries read the file).
    static QByteArray frameAt(VideoFrameSource &source, const QUrl &video, const CMTime &time);

private:
    static QByteArray shrunk(const QByteArray &jpeg);
};
