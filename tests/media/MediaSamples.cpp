#include "MediaSamples.h"

#include <QProcess>

bool MediaSamples::ffmpeg(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{"-nostdin", "-v", "error", "-y"} + arguments);
    if (!process.waitForFinished(180000)) return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool MediaSamples::blackStart(const QString &path, double seconds, const QString &size,
                              bool singleKeyFrame)
{
    const QString graph = QStringLiteral("color=c=black:s=%1:r=25:d=3[a];"
                                         "testsrc2=s=%1:r=25:d=%2[b];[a][b]concat=n=2:v=1:a=0")
                              .arg(size)
                              .arg(seconds - 3);
    // veryfast keeps x264's scene-cut detection, which ultrafast turns off.
    QStringList arguments = {"-filter_complex", graph,      "-c:v",     "libx264",
                             "-preset",         "veryfast", "-pix_fmt", "yuv420p"};
    if (singleKeyFrame)
        arguments << "-g"
                  << "300"
                  << "-sc_threshold"
                  << "0";
    return ffmpeg(arguments << path);
}

// ffmpeg 5.1 writes the rotate tag as a display matrix only when copying the stream.
bool MediaSamples::rotated(const QString &path)
{
    const QString plain = path + QStringLiteral(".plain.mp4");
    return ffmpeg({"-f", "lavfi", "-i",
                   "color=c=red:s=320x180:r=25:d=2,drawbox=x=160:y=0:w=160:h=180:color=blue:t=fill",
                   "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", plain}) &&
           remux(plain, path, {"-c", "copy", "-metadata:s:v:0", "rotate=90"});
}

bool MediaSamples::audioOnly(const QString &path, double seconds)
{
    return ffmpeg({"-f", "lavfi", "-i",
                   QStringLiteral("sine=frequency=440:duration=%1").arg(seconds), "-c:a", "aac",
                   path});
}

bool MediaSamples::remux(const QString &input, const QString &output, const QStringList &options)
{
    return ffmpeg(QStringList{"-i", input} + options + QStringList{output});
}

bool MediaSamples::keyFramesAt(const QString &path, double seconds, const QString &times)
{
    return ffmpeg({"-f", "lavfi", "-i", QStringLiteral("testsrc2=s=320x240:r=25:d=%1").arg(seconds),
                   "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-g", "1000",
                   "-sc_threshold", "0", "-force_key_frames", times, path});
}

bool MediaSamples::webm(const QString &path, double seconds)
{
    const QString length = QString::number(seconds);
    return ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:r=25:d=" + length, "-f", "lavfi", "-i",
                   "sine=frequency=440:duration=" + length, "-c:v", "libvpx", "-c:a", "libvorbis",
                   path});
}

bool MediaSamples::naturalPicture(const QString &path, const QString &size)
{
    return ffmpeg({"-f", "lavfi", "-i", QStringLiteral("testsrc2=s=%1:d=1").arg(size), "-frames:v",
                   "1", path});
}

bool MediaSamples::twoBlockPicture(const QString &path)
{
    return ffmpeg(
        {"-f", "lavfi", "-i",
         "color=c=0x2050a0:s=640x360:d=1,drawbox=x=0:y=180:w=640:h=180:color=0xe0e0e0:t=fill",
         "-frames:v", "1", path});
}

bool MediaSamples::frameByFfmpeg(const QString &video, double second, const QString &path)
{
    return ffmpeg({"-ss", QString::number(second), "-i", video, "-frames:v", "1", path});
}
