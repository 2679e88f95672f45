#include "cli/CliDownloadCommand.h"

#include "cli/CliProgress.h"
#include "cli/SignalBridge.h"
#include "download/NSYtdlpTask.h"
#include "platform/Dispatch.h"
#include "platform/Resources.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <thread>
#include <unistd.h>

namespace
{

enum ExitStatus { Success = 0, Failure = 1, UsageError = 2, Interrupted = 130 };

const char helpText[] =
    "Usage: zelvo-cli download URL --folder DIR [--browser None|Firefox|Chrome] [--best] [--mp4]\n"
    "\n"
    "Downloads the videos of one web page with the yt-dlp installed in DIR, showing\n"
    "progress, size, speed and the playlist position, then lists the finished files.\n"
    "\n"
    "  --folder DIR      working folder: holds yt-dlp (and optionally ffmpeg), receives files\n"
    "  --browser NAME    let yt-dlp use this browser's cookies (None, Firefox or Chrome)\n"
    "  --best            best video and audio streams (merged with ffmpeg)\n"
    "  --mp4             MP4 only (with --best: the best single MP4 file)\n"
    "\n"
    "Exit status: 0 done, 1 the download failed, 2 usage error, 130 interrupted.\n"
    "Ctrl-C stops yt-dlp cleanly and lists what finished; a second Ctrl-C ends at once.\n";

int usageError(const QString &message)
{
    std::fprintf(stderr, "zelvo-cli download: %s\nTry 'zelvo-cli download --help'.\n",
                 qPrintable(message));
    return UsageError;
}

// The store maps the form's "None" to no browser at all; so does the command line.
bool cookieBrowserFor(const QString &name, QString *browser)
{
    if (name.isEmpty() || name.compare(QLatin1String("None"), Qt::CaseInsensitive) == 0) {
        browser->clear();
        return true;
    }
    for (const char *known : {"Firefox", "Chrome"}) {
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0) {
            *browser = QString::fromLatin1(known);
            return true;
        }
    }
    return false;
}

} // namespace

int CliDownloadCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, "Show this help.");
    const QCommandLineOption folder("folder", "Working folder.", "DIR");
    const QCommandLineOption browser("browser", "Cookie browser.", "NAME");
    const QCommandLineOption best("best", "Best video and audio.");
    const QCommandLineOption mp4("mp4", "MP4 only.");
    parser.addOptions({help, folder, browser, best, mp4});
    if (!parser.parse(QStringList{QStringLiteral("download")} + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(helpText, stdout);
        return Success;
    }
    if (parser.positionalArguments().size() != 1)
        return usageError(QStringLiteral("give exactly one page URL"));
    if (!parser.isSet(folder)) return usageError(QStringLiteral("--folder is required"));
    QString cookieBrowser;
    if (!cookieBrowserFor(parser.value(browser), &cookieBrowser))
        return usageError(QStringLiteral("unknown browser '%1'").arg(parser.value(browser)));

    const QFileInfo workingFolder(parser.value(folder));
    if (!workingFolder.isDir()) {
        std::fprintf(stderr, "zelvo-cli: %s is not a folder\n", qPrintable(parser.value(folder)));
        return Failure;
    }
    const QString script =
        Resources::pathForResource(QStringLiteral("ytdlp"), QStringLiteral("sh"));
    if (script.isEmpty()) {
        std::fprintf(stderr, "zelvo-cli: the download script ytdlp.sh is missing\n");
        return Failure;
    }

    CliProgress progress(stderr);
    NSYtdlpTask task(script, &progress);
    const QString folderPath = workingFolder.absoluteFilePath();
    task.setWorkingURL(QUrl::fromLocalFile(folderPath));
    task.setFfmpegPath(folderPath);
    task.setCookieBrowser(cookieBrowser);
    task.setTryBestVideo(parser.isSet(best));
    task.setMustMP4Format(parser.isSet(mp4));
    return execute(task, parser.positionalArguments().first(), progress);
}

int CliDownloadCommand::execute(NSYtdlpTask &task, const QString &url, CliProgress &progress)
{
    bool interrupted = false;
    SignalBridge termination;
    QObject::connect(&termination, &SignalBridge::terminationRequested, [&](int count) {
        if (count == 1) {
            interrupted = true;
            progress.say(QStringLiteral("Stopping the download (Ctrl-C again to end at once)..."));
            task.stop();
            return;
        }
        task.kill();
        progress.finish();
        ::_exit(Interrupted);
    });

    QTimer refresh;
    QObject::connect(&refresh, &QTimer::timeout, [&] { progress.show(task); });
    refresh.start(100);

    QStringList files;
    std::thread worker([&] {
        files = task.downloadURL(url);
        dispatchMain([] { QCoreApplication::quit(); });
    });
    QCoreApplication::exec();
    worker.join();
    progress.finish();

    for (const QString &file : files)
        std::printf("%s\n", qPrintable(file));
    std::fflush(stdout);
    if (interrupted) return Interrupted;
    if (!progress.stopReason().isEmpty()) {
        std::fprintf(stderr, "Download failed: %s\n", qPrintable(progress.stopReason()));
        return Failure;
    }
    if (files.isEmpty()) std::fprintf(stderr, "yt-dlp finished without a file.\n");
    return Success;
}
