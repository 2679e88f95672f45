#include "cli/CliSetupCommand.h"

#include "cli/CliOutput.h"
#include "cli/CliParser.h"
#include "download/YTDLPCheck.h"
#include "media/NSffmpeg.h"
#include "store/StoredSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace
{

const char helpText[] =
    "Usage: zelvo-cli setup FOLDER\n"
    "\n"
    "Makes FOLDER the working folder (created when missing): installs yt-dlp into it and\n"
    "checks its version, and links the system's ffmpeg, ffplay and ffprobe beside it.\n"
    "Downloads are written there. The desktop application uses the same setting.\n"
    "A folder whose name holds a line break is refused.\n"
    "\n"
    "Exit status: 0 ready, 1 yt-dlp or ffmpeg could not be set up, 2 usage error.\n";

} // namespace

int CliSetupCommand::run(const QStringList &arguments)
{
    CliParser parser(QStringLiteral("setup"), QString::fromUtf8(helpText));
    QString folder;
    if (const auto status = parser.parsePath(arguments, QStringLiteral("folder"), &folder))
        return *status;
    // yt-dlp's log names files line by line: a line break in the folder would split them.
    if (folder.contains(QLatin1Char('\n')) || folder.contains(QLatin1Char('\r')))
        return parser.usageError(QStringLiteral("a folder whose name holds a line break cannot "
                                                "be the working folder"));
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        CliOutput::err(QStringLiteral("zelvo-cli: %1 is not a folder.").arg(folder));
        return 1;
    }
    StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
    const bool ytdlpReady = installYtdlp(folder);
    const bool ffmpegReady = linkFfmpeg(folder);
    return ytdlpReady && ffmpegReady ? 0 : 1;
}

bool CliSetupCommand::installYtdlp(const QString &folder)
{
    CliOutput::err(QStringLiteral("正在安装 请稍后 ..."));
    YTDLPCheck().installAtPath(QUrl::fromLocalFile(folder));
    YTDLPCheck check;
    QString error;
    if (check.checkYtdlpInURL(StoredSettings::ytdlpPath(), &error) != 2) {
        CliOutput::err(QStringLiteral("Install yt-dlp error. %1").arg(error));
        return false;
    }
    StoredSettings::setValue(StoredSettings::KEY_VERSION_STRING, check.version());
    StoredSettings::setValue(StoredSettings::KEY_UPDATE_CHECK_DATE, QDateTime::currentDateTime());
    CliOutput::out(QStringLiteral("yt-dlp %1 in %2").arg(check.version(), folder));
    return true;
}

// As the settings pane's ffmpeg check: the two keys are written together or removed together.
bool CliSetupCommand::linkFfmpeg(const QString &folder)
{
    QString error;
    NSffmpeg::installSystemTools(folder, &error, {});
    const QString version = NSffmpeg::ffmpegInfomationAtPath(folder);
    if (version.isEmpty()) {
        StoredSettings::setValue(StoredSettings::KEY_FFMPEG_URL, QVariant());
        StoredSettings::setValue(StoredSettings::KEY_FFMPEG_VERSION, QVariant());
        CliOutput::err(QStringLiteral("ffmpeg NOT FOUND. %1").arg(error));
        return false;
    }
    StoredSettings::setFolder(StoredSettings::KEY_FFMPEG_URL, folder);
    StoredSettings::setValue(StoredSettings::KEY_FFMPEG_VERSION, version);
    CliOutput::out(version.section(QLatin1Char('\n'), 0, 0));
    return true;
}
