// Choosing a thumbnail on a 60-second 1080p clip whose first three seconds are black: the
// in-process frame source (with the ffmpeg fall-back) against the ffmpeg command line alone,
// and one colour count of a full frame.
//   bench_media_thumbnail [work folder]   (the clip is made once and kept there)
#include "media/NSTavoTools.h"
#include "media/NSffmpeg.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace
{

using FrameSource = std::function<QByteArray(const QUrl &, qint64 milliseconds)>;

bool makeClip(const QString &path)
{
    if (QFile::exists(path)) return true;
    const QString graph = "color=c=black:s=1920x1080:r=25:d=3[a];"
                          "testsrc2=s=1920x1080:r=25:d=57[b];[a][b]concat=n=2:v=1:a=0";
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedChannels);
    ffmpeg.start("ffmpeg", {"-nostdin", "-v", "error", "-y", "-filter_complex", graph, "-c:v",
                            "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", path});
    return ffmpeg.waitForFinished(-1) && ffmpeg.exitCode() == 0;
}

QByteArray frameByFfmpeg(const QString &folder, const QUrl &video, qint64 milliseconds)
{
    const QString swap = QDir(folder).filePath("swap.jpg");
    QFile::remove(swap);
    if (!NSffmpeg::loadThumbnailInfoFile(swap, video, float(milliseconds / 1000),
                                         QStandardPaths::findExecutable("ffmpeg")))
        return {};
    QFile file(swap);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// 0.1 s, then every second, until a frame is not too simple (at most 11 tries).
int chooseThumbnail(const QUrl &video, const FrameSource &source)
{
    int tries = 0;
    for (qint64 t = 100;; t += 1000) {
        ++tries;
        const QImage image = QImage::fromData(source(video, t), "JPEG");
        if (!NSTavoTools::isImageTooSimple(image) || t >= 10000) return tries;
    }
}

double bestMilliseconds(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::temp().filePath("zelvo-bench-media");
    QDir().mkpath(folder);
    const QString clip = QDir(folder).filePath("black-start-1080p-60s.mp4");
    if (!makeClip(clip)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(clip));
        return 1;
    }
    const QUrl video = QUrl::fromLocalFile(clip);
    int fallbacks = 0;
    const FrameSource inProcess = [&folder, &fallbacks](const QUrl &url, qint64 t) {
        const QByteArray data = NSTavoTools::loadThumbnailBymacOSVideo(url, {t, 1000});
        if (!data.isNull()) return data;
        ++fallbacks; // the key frame is more than a second off: the ffmpeg fall-back
        return frameByFfmpeg(folder, url, t);
    };
    const FrameSource commandLine = [&folder](const QUrl &url, qint64 t) {
        return frameByFfmpeg(folder, url, t);
    };

    int tries = 0;
    const double inProcessMs = bestMilliseconds(3, [&] {
        fallbacks = 0;
        tries = chooseThumbnail(video, inProcess);
    });
    const double commandLineMs = bestMilliseconds(3, [&] { chooseThumbnail(video, commandLine); });
    std::printf("thumbnail choice, %d tries (%d of them through the ffmpeg fall-back): in process "
                "%.1f ms, ffmpeg command line %.1f ms, ratio %.2f\n",
                tries, fallbacks, inProcessMs, commandLineMs, inProcessMs / commandLineMs);

    const double oneInProcessMs = bestMilliseconds(5, [&] {
        NSTavoTools::loadThumbnailBymacOSVideo(video, {3100, 1000});
    });
    const double oneCommandLineMs =
        bestMilliseconds(5, [&] { frameByFfmpeg(folder, video, 3100); });
    std::printf("one frame at 3.1 s: in process %.1f ms, ffmpeg command line %.1f ms\n",
                oneInProcessMs, oneCommandLineMs);

    const QImage frame =
        QImage::fromData(NSTavoTools::loadThumbnailBymacOSVideo(video, {3100, 1000}), "JPEG");
    constexpr int counts = 50;
    const double colourMs = bestMilliseconds(1, [&] {
        for (int i = 0; i < counts; ++i)
            NSTavoTools::checkLowColorDiversity(frame);
    });
    std::printf("checkLowColorDiversity on %dx%d: %.2f ms each\n", frame.width(), frame.height(),
                colourMs / counts);
    return 0;
}
