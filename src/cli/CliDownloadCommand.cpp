#include "cli/CliDownloadCommand.h"

#include "cli/CliOutput.h"
#include "cli/CliParser.h"
#include "cli/CliStore.h"
#include "cli/CliTaskRun.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"

#include <QDir>
#include <QUrl>

#include <optional>

namespace
{

const char downloadHelp[] =
    "Usage: zelvo-cli download URL [--browser None|Firefox|Chrome] [--best] [--mp4] [--note TEXT]\n"
    "\n"
    "Creates a task for the page URL in the history and downloads its videos into the\n"
    "working folder chosen with 'zelvo-cli setup', showing progress on standard error.\n"
    "When it completes, prints each file with its size, codec and duration.\n"
    "\n"
    "  --browser NAME    let yt-dlp use this browser's cookies (None, Firefox or Chrome)\n"
    "  --best            best video and audio streams (merged with ffmpeg)\n"
    "  --mp4             MP4 only (with --best: the best single MP4 file)\n"
    "  --note TEXT       a note kept with the task\n"
    "\n"
    "Ctrl-C pauses the task (resume it with 'zelvo-cli resume ID'); a second Ctrl-C ends at\n"
    "once. Exit status: 0 done, 1 failed or not set up, 2 usage error or refused URL,\n"
    "130 paused.\n";

const char resumeHelp[] = "Usage: zelvo-cli resume ID\n"
                          "\n"
                          "Starts a created or paused task of the history again; the files it\n"
                          "finished before are kept. A completed or failed task is not resumed.\n"
                          "Exit status as for 'zelvo-cli download'.\n";

// The form's browser segments; "None" is no browser at all.
std::optional<QString> browserLabel(const QString &name)
{
    if (name.isEmpty()) return QStringLiteral("None");
    for (const char *known : {"None", "Firefox", "Chrome"}) {
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(known);
    }
    return std::nullopt;
}

// The new-task form's URL test.
bool isAvailableWebVideoURL(const QString &text)
{
    if (text.isNull() || text.size() < 5) return false;
    const QUrl parsed(text, QUrl::StrictMode);
    if (!parsed.isValid()) return false; // what the platform's URL parser refuses has no scheme
    const QString scheme = parsed.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool browserIsRunning(const QString &program)
{
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : processes) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly) &&
            QString::fromUtf8(comm.readAll()).trimmed().startsWith(program))
            return true;
    }
    return false;
}

} // namespace

std::optional<int> CliDownloadCommand::refuseURL(const QString &url)
{
    if (!isAvailableWebVideoURL(url)) {
        CliOutput::err(QStringLiteral("视频地址错误: %1 不是正确的视频网址链接.").arg(url));
        return CliTaskRun::UsageError;
    }
    const auto existing = XCoreDataManagement::shared().searchURL(url);
    if (!existing.isEmpty()) return refuseKnownURL(url, *existing.first());
    return std::nullopt;
}

int CliDownloadCommand::refuseKnownURL(const QString &url, const XTask &known)
{
    CliOutput::err(
        QStringLiteral("已经存在: %1 已经下载过了. (task %2)").arg(url).arg(known.rowId()));
    return CliTaskRun::UsageError;
}

void CliDownloadCommand::warnAboutBrowser(const QString &browser)
{
    if (browser == QLatin1String("None")) return;
    const bool running = browser == QLatin1String("Firefox")
                             ? browserIsRunning(QStringLiteral("firefox"))
                             : browserIsRunning(QStringLiteral("chrom")) ||
                                   browserIsRunning(QStringLiteral("google-chrome"));
    if (running) return;
    CliOutput::err(QStringLiteral("Warning: Selected browser is NOT running, Zelvo may can NOT "
                                  "get your account infomation."));
}

int CliDownloadCommand::download(const QStringList &arguments)
{
    CliParser parser(QStringLiteral("download"), QString::fromUtf8(downloadHelp));
    const QCommandLineOption browser("browser", "Cookie browser.", "NAME");
    const QCommandLineOption best("best", "Best video and audio.");
    const QCommandLineOption mp4("mp4", "MP4 only.");
    const QCommandLineOption note("note", "A note.", "TEXT");
    for (const auto &option : {browser, best, mp4, note})
        parser.addOption(option);
    if (const auto status = parser.parse(arguments, 1, QStringLiteral("give exactly one page URL")))
        return *status;
    const std::optional<QString> label = browserLabel(parser.value(browser));
    if (!label)
        return parser.usageError(QStringLiteral("unknown browser '%1'").arg(parser.value(browser)));

    auto &store = XCoreDataManagement::shared();
    if (!CliStore::isOpen()) return CliTaskRun::Failure;
    const QString url = parser.positionalArguments().first();
    if (const auto refused = refuseURL(url)) return *refused;
    if (StoredSettings::ytdlpPath().isEmpty()) {
        CliOutput::err(CliTaskRun::notSetUpText());
        return CliTaskRun::Failure;
    }
    warnAboutBrowser(*label);
    // Checked again where it counts: another process may create the same task meanwhile.
    const auto [task, created] =
        store.creatTaskUnlessKnown(url, *label, parser.value(note), [&](XTask &fresh) {
            fresh.setTryBestVideo(parser.isSet(best));
            fresh.setMustMP4Format(parser.isSet(mp4));
        });
    if (!task) {
        CliOutput::err(QStringLiteral("place store error."));
        return CliTaskRun::Failure;
    }
    if (!created) return refuseKnownURL(url, *task);
    CliOutput::err(QStringLiteral("Task %1: %2").arg(task->rowId()).arg(url));
    return CliTaskRun(task).execute();
}

std::shared_ptr<XTask> CliDownloadCommand::taskForId(const QString &text)
{
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    for (const auto &task : XCoreDataManagement::shared().existHistorys()) {
        if (ok && task->rowId() == id) return task;
    }
    CliOutput::err(QStringLiteral("zelvo-cli: no task with the id '%1'.").arg(text));
    return nullptr;
}

int CliDownloadCommand::resume(const QStringList &arguments)
{
    CliParser parser(QStringLiteral("resume"), QString::fromUtf8(resumeHelp));
    if (const auto status = parser.parse(arguments, 1, QStringLiteral("give one task id")))
        return *status;
    if (!CliStore::isOpen()) return CliTaskRun::Failure;
    const auto task = taskForId(parser.positionalArguments().first());
    if (!task) return CliTaskRun::Failure;
    const qint64 status = task->currentStatus();
    if (status == 2 || status == 3) {
        CliOutput::err(
            QStringLiteral("Task %1 has %2; only a created or paused task is resumed.")
                .arg(task->rowId())
                .arg(status == 2 ? QStringLiteral("completed") : QStringLiteral("failed")));
        return CliTaskRun::Failure;
    }
    if (StoredSettings::ytdlpPath().isEmpty()) {
        CliOutput::err(CliTaskRun::notSetUpText());
        return CliTaskRun::Failure;
    }
    return CliTaskRun(task).execute();
}
