#include "ZelvoVersion.h"
#include "cli/CliDownloadCommand.h"
#include "cli/CliHistoryCommand.h"
#include "cli/CliInfoCommand.h"
#include "cli/CliOutput.h"
#include "cli/CliSetupCommand.h"
#include "cli/CliVideoToolCommand.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <functional>
#include <map>

namespace
{

const char usage[] =
    "Usage: zelvo-cli COMMAND [OPTIONS]\n"
    "\n"
    "Zelvo downloads the videos of web pages with yt-dlp and keeps a history\n"
    "of every download, shared with the desktop application.\n"
    "\n"
    "Commands:\n"
    "  setup FOLDER      choose the working folder; install yt-dlp and ffmpeg there\n"
    "  download URL      download a page's videos as a new task\n"
    "  resume ID         start a created, paused or failed task again\n"
    "  list [SEARCH]     the history, newest first (or the tasks whose files match)\n"
    "  show ID           one task and its files\n"
    "  remove ID         delete a task's files and remove it from the history\n"
    "  info FILE         codec, size, frame rate and duration of a media file\n"
    "  trim ID           cut seconds off the head and tail of a task's video\n"
    "  encode ID         re-encode a task's video to H.264\n"
    "  thumbnail ID      make a frame of a task's video its thumbnail\n"
    "\n"
    "'zelvo-cli COMMAND --help' explains a command.\n";

// The engine writes a diagnostic line for every log line it passes over; a person at a
// terminal wants them only when asked (ZELVO_LOG=1). Qt's own messages and the user's
// QT_LOGGING_RULES, which override this rule, still come through.
void quietDiagnostics()
{
    if (qEnvironmentVariableIsEmpty("ZELVO_LOG"))
        QLoggingCategory::setFilterRules(QStringLiteral("zelvo.*.debug=false\nzelvo.*.info=false"));
}

using Command = std::function<int(const QStringList &)>;

const std::map<QString, Command> &commands()
{
    static const std::map<QString, Command> table = {
        {QStringLiteral("setup"), &CliSetupCommand::run},
        {QStringLiteral("download"), &CliDownloadCommand::download},
        {QStringLiteral("resume"), &CliDownloadCommand::resume},
        {QStringLiteral("list"), &CliHistoryCommand::list},
        {QStringLiteral("show"), &CliHistoryCommand::show},
        {QStringLiteral("remove"), &CliHistoryCommand::remove},
        {QStringLiteral("info"), &CliInfoCommand::run},
        {QStringLiteral("trim"), &CliVideoToolCommand::trim},
        {QStringLiteral("encode"), &CliVideoToolCommand::encode},
        {QStringLiteral("thumbnail"), &CliVideoToolCommand::thumbnail},
    };
    return table;
}

} // namespace

int main(int argc, char *argv[])
{
    quietDiagnostics();
    CliOutput::ignoreBrokenPipe();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvo-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZELVO_VERSION));

    const QStringList arguments = app.arguments().mid(1);
    const QString command = arguments.value(0);
    if (command.isEmpty() || command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        CliOutput::out(QString::fromUtf8(usage));
        return 0;
    }
    if (command == QLatin1String("--version")) {
        CliOutput::out(QStringLiteral("zelvo-cli %1(%2)").arg(ZELVO_VERSION, ZELVO_BUILD_NUMBER));
        return 0;
    }
    const auto found = commands().find(command);
    if (found != commands().end()) {
        const int status = found->second(arguments.mid(1));
        return status == 0 && CliOutput::outputFailed() ? 1 : status;
    }
    CliOutput::err(QStringLiteral("zelvo-cli: unknown command '%1'\n\n%2").arg(command, usage));
    return 2;
}
