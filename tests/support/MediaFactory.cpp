#include "support/MediaFactory.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace
{

QStringList sources(double seconds, const QString &size)
{
    const QString length = QString::number(seconds);
    return {"-f", "lavfi",
            "-i", QStringLiteral("testsrc2=size=%1:rate=25:duration=%2").arg(size, length),
            "-f", "lavfi",
            "-i", QStringLiteral("sine=frequency=440:duration=%1").arg(length)};
}

const QStringList h264 = {"-c:v", "libx264", "-pix_fmt", "yuv420p"};

} // namespace

const QStringList MediaFactory::everySecond = {
    "-preset", "ultrafast", "-g", "25", "-keyint_min", "25", "-sc_threshold", "0"};

bool MediaFactory::ffmpeg(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{"-nostdin", "-v", "error", "-y"} + arguments);
    return process.waitForFinished(180000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QByteArray MediaFactory::probe(const QString &file, const QString &entries)
{
    QProcess process;
    process.start(QStringLiteral("ffprobe"),
                  {"-v", "error", "-show_entries", entries, "-of", "csv=p=0", file});
    if (!process.waitForFinished(10000)) return {};
    return process.readAllStandardOutput();
}

bool MediaFactory::makeClip(const QString &path, double seconds, const QString &size)
{
    return ffmpeg(sources(seconds, size) + h264 + everySecond +
                  QStringList{"-c:a", "aac", "-shortest", path});
}

bool MediaFactory::makeVideoOf(const QString &path, const QString &graph,
                               const QStringList &encoderOptions)
{
    return ffmpeg(QStringList{"-filter_complex", graph} + h264 + encoderOptions +
                  QStringList{path});
}

bool MediaFactory::makeBlackStart(const QString &path, double seconds, bool singleKeyFrame)
{
    const QString graph = QStringLiteral("color=c=black:s=640x360:r=25:d=3[a];testsrc2=s=640x360:"
                                         "r=25:d=%1[b];[a][b]concat=n=2:v=1:a=0")
                              .arg(seconds - 3);
    // veryfast keeps x264's scene-cut detection, which ultrafast turns off.
    const QStringList options = {"-preset", "veryfast"};
    return makeVideoOf(path, graph,
                       singleKeyFrame ? options + QStringList{"-g", "300", "-sc_threshold", "0"}
                                      : options);
}

// ffmpeg 5.1 writes the rotate tag as a display matrix only when copying the stream.
bool MediaFactory::makeRotated(const QString &path)
{
    const QString plain = path + ".plain.mp4";
    return makeVideoOf(plain,
                       "color=c=red:s=320x180:r=25:d=2,drawbox=x=160:w=160:color=blue:t=fill") &&
           remux(plain, path, {"-c", "copy", "-metadata:s:v:0", "rotate=90"});
}

bool MediaFactory::makeTone(const QString &path, double seconds)
{
    return ffmpeg({"-f", "lavfi", "-i", QStringLiteral("sine=duration=%1").arg(seconds), "-c:a",
                   "aac", path});
}

bool MediaFactory::remux(const QString &input, const QString &output, const QStringList &options)
{
    return ffmpeg(QStringList{"-i", input} + options + QStringList{output});
}

bool MediaFactory::makeDash(const QString &folder, double seconds)
{
    QDir().mkpath(folder);
    return ffmpeg(sources(seconds, "320x240") + h264 + everySecond +
                  QStringList{"-c:a", "aac", "-map", "0:v", "-map", "1:a", "-f", "dash",
                              "-seg_duration", "1", "-use_template", "1", "-use_timeline", "1",
                              "-adaptation_sets", "id=0,streams=v id=1,streams=a",
                              QDir(folder).filePath("manifest.mpd")});
}

bool MediaFactory::makeBlob(const QString &path, qint64 bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(bytes);
}
