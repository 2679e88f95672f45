// Download overhead: a large file from the local server through NSYtdlpTask, against
// yt-dlp alone with the same options, alternating. Prints the median wall-time ratio and
// the engine's own CPU time per 100 MB.
#include "download/NSYtdlpTask.h"
#include "support/MediaFactory.h"
#include "support/MediaServer.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace
{

constexpr qint64 fileBytes = 200LL * 1024 * 1024;

class QuietDelegate : public NSYtdlpTaskDelegate
{
public:
    void downloadStoppedWithReason(const QString &reason) override
    {
        std::fprintf(stderr, "stop reason: %s\n", qPrintable(reason));
    }
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Timing {
    double wall;
    double cpu;
};

Timing throughEngine(const QString &folder, const QString &url)
{
    QuietDelegate delegate;
    NSYtdlpTask task(TestEnvironment::resourceFile("ytdlp.sh"), &delegate);
    task.setWorkingURL(QUrl::fromLocalFile(folder));
    task.setCookieBrowser({});
    const double cpuBefore = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    const QStringList files = task.downloadURL(url);
    const Timing timing{timer.nsecsElapsed() / 1e9, cpuSeconds() - cpuBefore};
    if (files.size() != 1 || QFile(files.first()).size() != fileBytes)
        std::fprintf(stderr, "engine run did not deliver the file\n");
    return timing;
}

Timing ytdlpAlone(const QString &folder, const QString &url)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(folder + "/yt-dlp",
                  {"-P", folder + "/", "--write-description", "--newline", "--", url});
    process.waitForFinished(-1);
    const Timing timing{timer.nsecsElapsed() / 1e9, 0};
    if (QFile(folder + "/big [big].mp4").size() != fileBytes)
        std::fprintf(stderr, "yt-dlp alone did not deliver the file\n");
    return timing;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QTemporaryDir site;
    QTemporaryDir work;
    if (!MediaFactory::makeBlob(site.filePath("big.mp4"), fileBytes)) return 1;
    MediaServer server(site.path());
    if (!server.isRunning()) return 1;
    QFile::link("/usr/bin/yt-dlp", work.filePath("yt-dlp"));
    const QString url = server.url("big.mp4");

    // Runs of each kind (default 3); more give a steadier median on a busy machine.
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 3;
    std::vector<double> ratios;
    std::vector<double> cpuPer100MB;
    for (int run = 0; run < runs; ++run) {
        // Which goes first alternates, so neither pays more often for what the one before
        // left behind (page cache, the removal of the last copy).
        Timing alone{};
        Timing engine{};
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn + run) % 2 == 0)
                alone = ytdlpAlone(work.path(), url);
            else
                engine = throughEngine(work.path(), url);
            QFile::remove(work.filePath("big [big].mp4"));
        }
        ratios.push_back(engine.wall / alone.wall);
        cpuPer100MB.push_back(engine.cpu / (double(fileBytes) / (100.0 * 1024 * 1024)));
        std::printf("run %d: yt-dlp alone %.2f s, through the engine %.2f s (engine CPU %.3f s)\n",
                    run + 1, alone.wall, engine.wall, engine.cpu);
    }
    std::printf("median wall-time ratio (engine / yt-dlp alone): %.3f\n", median(ratios));
    std::printf("median engine CPU per 100 MB: %.1f ms\n", median(cpuPer100MB) * 1000.0);
    return 0;
}
