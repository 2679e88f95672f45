// Download overhead: a large file from the local server through NSYtdlpTask, against
// yt-dlp alone with the same options, alternating. Prints the median wall-time ratio and
// the engine's own CPU time per 100 MB. Then the same file (a real video this time) through
// "zelvo-cli download" in a HOME of its own: the ratio of the time until its yt-dlp has
// exited, and the time from that exit to the completed task (files probed, thumbnails made,
// history saved), which the command reports by printing the files.
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

#include <QThread>

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

// The file yt-dlp writes for a URL's last path piece NAME.mp4.
QString deliveredFile(const QString &folder, const QString &name)
{
    return QDir(folder).filePath(QStringLiteral("%1 [%1].mp4").arg(name));
}

Timing ytdlpAlone(const QString &folder, const QString &url, const QString &name,
                  const QString &ffmpegFolder = {})
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    QStringList arguments = {"-P", folder + "/"};
    if (!ffmpegFolder.isEmpty()) arguments << "--ffmpeg-location" << ffmpegFolder;
    process.start(folder + "/yt-dlp",
                  arguments + QStringList{"--write-description", "--newline", "--", url});
    process.waitForFinished(-1);
    const Timing timing{timer.nsecsElapsed() / 1e9, 0};
    if (QFile(deliveredFile(folder, name)).size() != fileBytes)
        std::fprintf(stderr, "yt-dlp alone did not deliver the file\n");
    return timing;
}

// A real video of about fileBytes: a short clip followed by a "free" box of zeros, which
// players and ffprobe pass over, so probing and thumbnails work as on a real download.
bool makeLargeVideo(const QString &path)
{
    if (!MediaFactory::makeClip(path, 10, "1280x720")) return false;
    QFile file(path);
    if (!file.open(QIODevice::Append)) return false;
    const qint64 padding = fileBytes - file.size();
    const quint32 boxSize = quint32(padding);
    const char header[8] = {char(boxSize >> 24),
                            char(boxSize >> 16),
                            char(boxSize >> 8),
                            char(boxSize),
                            'f',
                            'r',
                            'e',
                            'e'};
    file.write(header, 8);
    return file.resize(fileBytes);
}

// Whether the process has ended (gone, or a zombie not yet collected by its parent).
bool hasEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close < 0 || text.mid(close + 2, 1) == "Z";
}

qint64 ytdlpOf(const QString &folder)
{
    const QByteArray needle = (folder + "/yt-dlp").toUtf8();
    for (const QString &entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile cmdline("/proc/" + entry + "/cmdline");
        // The interpreter runs the script: argv[1] is the working folder's yt-dlp.
        if (entry.toLongLong() > 0 && cmdline.open(QIODevice::ReadOnly) &&
            cmdline.readAll().split('\0').value(1) == needle)
            return entry.toLongLong();
    }
    return 0;
}

struct CliTiming {
    double untilExit;    // start of zelvo-cli to the end of its yt-dlp
    double toCompletion; // end of yt-dlp to the files printed (status 2 saved)
};

CliTiming throughCli(const QString &home, const QString &folder, const QString &url)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.insert("XDG_CONFIG_HOME", home + "/.config");
    process.setProcessEnvironment(environment);
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(QCoreApplication::applicationDirPath() + "/zelvo-cli", {"download", url});
    qint64 ytdlp = 0;
    while (!ytdlp && timer.elapsed() < 30000) {
        ytdlp = ytdlpOf(folder);
        QThread::usleep(2000);
    }
    while (ytdlp && !hasEnded(ytdlp))
        QThread::usleep(1000);
    const double exited = timer.nsecsElapsed() / 1e9;
    process.waitForReadyRead(-1);
    const double printed = timer.nsecsElapsed() / 1e9;
    process.waitForFinished(-1);
    if (!process.readAllStandardOutput().contains("h264"))
        std::fprintf(stderr, "zelvo-cli did not complete with the video\n");
    return {exited, printed - exited};
}

void compareCli(const QString &site, int runs)
{
    QTemporaryDir home;
    const QString work = home.filePath("work");
    if (!makeLargeVideo(QDir(site).filePath("video.mp4"))) return;
    MediaServer server(site);
    QProcess setup;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    environment.insert("ZELVO_YTDLP_URL", server.url("no-yt-dlp-here"));
    setup.setProcessEnvironment(environment);
    setup.start(QCoreApplication::applicationDirPath() + "/zelvo-cli", {"setup", work});
    setup.waitForFinished(-1);
    std::vector<double> ratios;
    std::vector<double> completions;
    for (int run = 0; run < runs; ++run) {
        Timing alone{};
        CliTiming cli{};
        // The history refuses a URL twice: each run asks under a new query.
        const QString url = server.url("video.mp4") + QStringLiteral("?run=%1").arg(run);
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn + run) % 2 == 0)
                alone = ytdlpAlone(work, url, "video", work);
            else
                cli = throughCli(home.path(), work, url);
            QFile::remove(deliveredFile(work, "video"));
        }
        ratios.push_back(cli.untilExit / alone.wall);
        completions.push_back(cli.toCompletion);
        std::printf("run %d: yt-dlp alone %.2f s, zelvo-cli until yt-dlp exited %.2f s, then "
                    "%.0f ms to the completed task\n",
                    run + 1, alone.wall, cli.untilExit, cli.toCompletion * 1000.0);
    }
    std::printf("median ratio until yt-dlp exited (zelvo-cli / yt-dlp alone): %.3f\n",
                median(ratios));
    std::printf("median time from yt-dlp's exit to the completed task: %.0f ms\n",
                median(completions) * 1000.0);
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
                alone = ytdlpAlone(work.path(), url, "big");
            else
                engine = throughEngine(work.path(), url);
            QFile::remove(deliveredFile(work.path(), "big"));
        }
        ratios.push_back(engine.wall / alone.wall);
        cpuPer100MB.push_back(engine.cpu / (double(fileBytes) / (100.0 * 1024 * 1024)));
        std::printf("run %d: yt-dlp alone %.2f s, through the engine %.2f s (engine CPU %.3f s)\n",
                    run + 1, alone.wall, engine.wall, engine.cpu);
    }
    std::printf("median wall-time ratio (engine / yt-dlp alone): %.3f\n", median(ratios));
    std::printf("median engine CPU per 100 MB: %.1f ms\n", median(cpuPer100MB) * 1000.0);
    compareCli(site.path(), runs);
    return 0;
}
