// Frames of 60-second 1080p clips, in process against the ffmpeg command line:
//  (a) choosing a thumbnail on a clip whose first three seconds are black (a key frame at the
//      scene cut), the same tries on both sides;
//  (b) frames at 20 fractions of a clip with x264's default key-frame interval (key frames up
//      to 10 s apart): time to the first picture (the key frame before) and to the exact frame.
//   bench_media_thumbnail [work folder]   (the clips are made once and kept there)
#include "media/NSTavoTools.h"
#include "media/NSffmpeg.h"
#include "media/ThumbnailChooser.h"
#include "media/VideoFrameSource.h"
#include "support/ImageDifference.h"

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
#include <numeric>

namespace
{

using FrameSource = std::function<QByteArray(qint64 milliseconds)>;

bool makeClip(const QString &path, const QString &graph)
{
    if (QFile::exists(path)) return true;
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedChannels);
    ffmpeg.start("ffmpeg", {"-nostdin", "-v", "error", "-y", "-filter_complex", graph, "-c:v",
                            "libx264", "-preset", "veryfast", "-pix_fmt", "yuv420p", path});
    return ffmpeg.waitForFinished(-1) && ffmpeg.exitCode() == 0;
}

double elapsedMs(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

double bestMilliseconds(int runs, const std::function<void()> &work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, elapsedMs(timer));
    }
    return best;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// The thumbnail's frame by the command line, as the fall-back of the choice runs it.
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

struct Choice {
    int tries = 0;
    QImage image;
};

// 0.1 s, then every second, until a frame is not too simple (at most 11 tries).
Choice chooseThumbnail(const FrameSource &source)
{
    Choice choice;
    for (qint64 t = 100;; t += 1000) {
        ++choice.tries;
        choice.image = QImage::fromData(source(t), "JPEG");
        if (!NSTavoTools::isImageTooSimple(choice.image) || t >= 10000) return choice;
    }
}

void benchThumbnailChoice(const QString &folder)
{
    const QString clip = QDir(folder).filePath("black-start-1080p-60s.mp4");
    if (!makeClip(clip, "color=c=black:s=1920x1080:r=25:d=3[a];"
                        "testsrc2=s=1920x1080:r=25:d=57[b];[a][b]concat=n=2:v=1:a=0"))
        qFatal("cannot make %s", qPrintable(clip));
    const QUrl video = QUrl::fromLocalFile(clip);
    Choice inProcess;
    Choice commandLine;
    const double inProcessMs = bestMilliseconds(3, [&] {
        VideoFrameSource source(clip);
        inProcess = chooseThumbnail([&](qint64 t) {
            return ThumbnailChooser::frameAt(source, video, {t, 1000});
        });
    });
    const double commandLineMs = bestMilliseconds(3, [&] {
        commandLine = chooseThumbnail([&](qint64 t) { return frameByFfmpeg(folder, video, t); });
    });
    std::printf("(a) thumbnail choice: in process %.1f ms (%d tries), ffmpeg command line %.1f ms "
                "(%d tries), ratio %.2f; chosen frames differ by %.2f per channel (of 255)\n",
                inProcessMs, inProcess.tries, commandLineMs, commandLine.tries,
                inProcessMs / commandLineMs,
                meanChannelDifference(inProcess.image, commandLine.image));
}

struct ExactTimes {
    QList<double> firstPicture;
    QList<double> exact;
    double worstDifference = 0;
};

ExactTimes exactInProcess(VideoFrameSource &source, const QList<double> &times,
                          const QString &folder)
{
    ExactTimes result;
    for (double t : times) {
        QElapsedTimer timer;
        timer.start();
        double first = -1;
        const VideoFrameSource::Frame frame =
            source.frameAt(t, [&](const VideoFrameSource::Frame &) { first = elapsedMs(timer); });
        const double exact = elapsedMs(timer);
        result.exact << exact;
        result.firstPicture << (first < 0 ? exact : first);
        const QImage reference(QDir(folder).filePath(QStringLiteral("ref-%1.jpg").arg(t)));
        result.worstDifference =
            std::max(result.worstDifference, meanChannelDifference(frame.image, reference));
    }
    return result;
}

QList<double> exactByCommandLine(const QString &clip, const QList<double> &times,
                                 const QString &folder)
{
    QList<double> spent;
    for (double t : times) {
        const QString out = QDir(folder).filePath(QStringLiteral("ref-%1.jpg").arg(t));
        QFile::remove(out);
        QElapsedTimer timer;
        timer.start();
        QProcess::execute("ffmpeg", {"-nostdin", "-v", "error", "-ss", QString::number(t), "-i",
                                     clip, "-frames:v", "1", "-q:v", "2", out});
        spent << elapsedMs(timer);
    }
    return spent;
}

void report(const char *order, const ExactTimes &inProcess, const QList<double> &commandLine)
{
    double worstRatio = 0;
    for (int i = 0; i < commandLine.size(); ++i)
        worstRatio = std::max(worstRatio, inProcess.exact[i] / commandLine[i]);
    const double inProcessSum =
        std::accumulate(inProcess.exact.begin(), inProcess.exact.end(), 0.0);
    const double commandSum = std::accumulate(commandLine.begin(), commandLine.end(), 0.0);
    std::printf("(b) %s: first picture median %.1f ms (worst %.1f); exact frame median %.1f ms "
                "(worst %.1f) against the command line's %.1f ms (worst %.1f); ratio of the "
                "totals %.2f, worst single ratio %.2f; worst pixel difference %.2f of 255\n",
                order, median(inProcess.firstPicture),
                *std::max_element(inProcess.firstPicture.begin(), inProcess.firstPicture.end()),
                median(inProcess.exact),
                *std::max_element(inProcess.exact.begin(), inProcess.exact.end()),
                median(commandLine), *std::max_element(commandLine.begin(), commandLine.end()),
                inProcessSum / commandSum, worstRatio, inProcess.worstDifference);
}

void benchExactFrames(const QString &folder)
{
    const QString clip = QDir(folder).filePath("default-keys-1080p-60s.mp4");
    if (!makeClip(clip, "testsrc2=s=1920x1080:r=25:d=60"))
        qFatal("cannot make %s", qPrintable(clip));
    QList<double> forward;
    for (int i = 0; i < 20; ++i)
        forward << 60.0 * (i + 0.5) / 20.0 + 0.013 * i; // off the frame grid
    // A scrubbing user goes back and forth: the same times in a scattered order.
    QList<double> scattered;
    for (int i = 0; i < 20; ++i)
        scattered << forward[(i * 7) % 20];

    const QList<double> commandLine = exactByCommandLine(clip, forward, folder);
    for (const auto &[order, times] : {std::pair{"forward", forward}, {"scattered", scattered}}) {
        QElapsedTimer opening;
        opening.start();
        VideoFrameSource source(clip);
        if (!source.isReadable()) qFatal("cannot read %s", qPrintable(clip));
        std::printf("(b) %s: opening the source %.1f ms\n", order, elapsedMs(opening));
        QList<double> commandInOrder;
        for (double t : times)
            commandInOrder << commandLine[forward.indexOf(t)];
        report(order, exactInProcess(source, times, folder), commandInOrder);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::temp().filePath("zelvo-bench-media");
    QDir().mkpath(folder);
    benchThumbnailChoice(folder);
    benchExactFrames(folder);
    return 0;
}
