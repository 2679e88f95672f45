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

const QStringList videoCodec = {"-c:v",          "libx264", "-preset", "ultrafast",   "-pix_fmt",
                                "yuv420p",       "-g",      "25",      "-keyint_min", "25",
                                "-sc_threshold", "0"};

} // namespace

bool MediaFactory::ffmpeg(const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("ffmpeg"),
                  QStringList{"-nostdin", "-v", "error", "-y"} + arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool MediaFactory::makeClip(const QString &path, double seconds, const QString &size)
{
    return ffmpeg(sources(seconds, size) + videoCodec +
                  QStringList{"-c:a", "aac", "-shortest", path});
}

bool MediaFactory::makeVideoOf(const QString &path, const QString &lavfiSource)
{
    return ffmpeg(QStringList{"-f", "lavfi", "-i", lavfiSource} + videoCodec + QStringList{path});
}

bool MediaFactory::makeDash(const QString &folder, double seconds)
{
    QDir().mkpath(folder);
    return ffmpeg(sources(seconds, "320x240") + videoCodec +
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
