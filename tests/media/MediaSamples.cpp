#include "MediaSamples.h"

#include <QProcess>

bool MediaSamples::ffmpeg(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y"} + arguments);
    return process.waitForFinished(180000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool MediaSamples::video(const QString &path, const QString &graph, const QStringList &options)
{
    return ffmpeg(QStringList{"-filter_complex", graph, "-c:v", "libx264", "-pix_fmt", "yuv420p"} +
                  options + QStringList{path});
}

bool MediaSamples::blackStart(const QString &path, double seconds, bool singleKeyFrame)
{
    const QString graph = QStringLiteral("color=c=black:s=640x360:r=25:d=3[a];testsrc2=s=640x360:"
                                         "r=25:d=%1[b];[a][b]concat=n=2:v=1:a=0")
                              .arg(seconds - 3);
    // veryfast keeps x264's scene-cut detection, which ultrafast turns off.
    const QStringList options = {"-preset", "veryfast"};
    return video(path, graph,
                 singleKeyFrame ? options + QStringList{"-g", "300", "-sc_threshold", "0"}
                                : options);
}

// ffmpeg 5.1 writes the rotate tag as a display matrix only when copying the stream.
bool MediaSamples::rotated(const QString &path)
{
    const QString plain = path + ".plain.mp4";
    return video(plain, "color=c=red:s=320x180:r=25:d=2,drawbox=x=160:w=160:color=blue:t=fill",
                 {"-preset", "ultrafast"}) &&
           remux(plain, path, {"-c", "copy", "-metadata:s:v:0", "rotate=90"});
}

bool MediaSamples::audioOnly(const QString &path, double seconds)
{
    return ffmpeg({"-f", "lavfi", "-i", QStringLiteral("sine=duration=%1").arg(seconds), "-c:a",
                   "aac", path});
}

bool MediaSamples::remux(const QString &input, const QString &output, const QStringList &options)
{
    return ffmpeg(QStringList{"-i", input} + options + QStringList{output});
}
