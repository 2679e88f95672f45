#include "cli/CliDownloadCommand.h"

#include <QCoreApplication>

#include <cstdio>

namespace
{

const char usage[] = "Usage: zelvo-cli COMMAND [OPTIONS]\n"
                     "\n"
                     "Zelvo downloads the videos of web pages with yt-dlp.\n"
                     "\n"
                     "Commands:\n"
                     "  download URL --folder DIR [--browser NAME] [--best] [--mp4]\n"
                     "                  download one page's videos into DIR\n"
                     "\n"
                     "'zelvo-cli COMMAND --help' explains a command.\n";

// The engine writes a diagnostic line for every log line it passes over; a person at a
// terminal wants them only when asked (ZELVO_LOG=1).
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("ZELVO_LOG")) qInstallMessageHandler(quietMessages);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvo-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZELVO_VERSION));

    const QStringList arguments = app.arguments().mid(1);
    const QString command = arguments.value(0);
    if (command.isEmpty() || command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (command == QLatin1String("--version")) {
        std::printf("zelvo-cli %s\n", ZELVO_VERSION);
        return 0;
    }
    if (command == QLatin1String("download")) return CliDownloadCommand::run(arguments.mid(1));
    std::fprintf(stderr, "zelvo-cli: unknown command '%s'\n\n%s", qPrintable(command), usage);
    return 2;
}
