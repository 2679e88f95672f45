#include "cli/CliVideoToolCommand.h"

#include "cli/CliDownloadCommand.h"
#include "cli/CliOutput.h"
#include "cli/CliParser.h"
#include "cli/CliProgress.h"
#include "cli/CliStore.h"
#include "cli/CliTaskRun.h"
#include "media/EncodeProgress.h"
#include "media/NSVideoToolController.h"
#include "media/NSffmpegConvert264.h"
#include "platform/SignalBridge.h"
#include "store/XFile.h"
#include "store/XTask.h"

#include <QEventLoop>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace
{

const char trimHelp[] =
    "Usage: zelvo-cli trim ID [--file N] --head SECONDS --tail SECONDS [--yes]\n"
    "\n"
    "Cuts SECONDS off the head and the tail of the task's file N (1 for the first, the\n"
    "default) in place, without re-encoding. The change cannot be undone: on a terminal it\n"
    "asks first; otherwise --yes is required. At least one second must be kept.\n";

const char encodeHelp[] =
    "Usage: zelvo-cli encode ID [--file N]\n"
    "\n"
    "Re-encodes the task's file N (1 for the first, the default) to H.264 as\n"
    "'<name>_h264.mp4' beside it; the original is deleted once the result is checked.\n"
    "Ctrl-C cancels and keeps the original.\n";

const char thumbnailHelp[] =
    "Usage: zelvo-cli thumbnail ID [--file N] --at FRACTION\n"
    "\n"
    "Saves the frame at FRACTION (0 to 1) of the file's length as the thumbnail of the file\n"
    "and of the task.\n";

const QCommandLineOption fileOption(QStringLiteral("file"), QStringLiteral("The file's number."),
                                    QStringLiteral("N"), QStringLiteral("1"));

// Starts the work and runs the loop until the signal that ends it (which may come at once),
// handing its argument back.
template <typename Signal, typename Value, typename Start>
void runUntil(NSVideoToolController &tools, Signal signal, Value *value, Start start)
{
    QEventLoop loop;
    bool ended = false;
    QObject::connect(&tools, signal, &loop, [&](const Value &arrived) {
        *value = arrived;
        ended = true;
        loop.quit();
    });
    start();
    if (!ended) loop.exec();
}

} // namespace

std::optional<int> CliVideoToolCommand::prepare(CliParser &parser, const QStringList &arguments,
                                                NSVideoToolController &tools)
{
    parser.addOption(fileOption);
    if (const auto ended = parser.parse(arguments, 1, QStringLiteral("give one task id")))
        return ended;
    bool ok = false;
    const int file = parser.value(fileOption).toInt(&ok);
    if (!ok || file < 1) return parser.usageError(QStringLiteral("--file takes 1 or more"));
    if (!CliStore::isOpen()) return 1;
    const auto task = CliDownloadCommand::taskForId(parser.positionalArguments().first());
    if (!task) return 1;
    tools.setTask(task);
    if (tools.workingFolder().isEmpty()) {
        CliOutput::err(CliTaskRun::notSetUpText());
        return 1;
    }
    if (!tools.select(file - 1)) {
        CliOutput::err(QStringLiteral("Task %1 has no file %2.").arg(task->rowId()).arg(file));
        return 1;
    }
    tools.waitForJobs();
    return std::nullopt;
}

std::optional<float> CliVideoToolCommand::number(CliParser &parser,
                                                 const QCommandLineOption &option, int *status)
{
    bool ok = false;
    const float value = parser.value(option).toFloat(&ok);
    if (ok && std::isfinite(value)) return value;
    *status = parser.usageError(QStringLiteral("--%1 takes a number").arg(option.names().first()));
    return std::nullopt;
}

void CliVideoToolCommand::printFile(const NSVideoToolController &tools)
{
    const auto file = tools.currentFile();
    CliOutput::out(CliOutput::table({{file->localFile(), file->videoDescription()}}));
}

bool CliVideoToolCommand::confirmTrim(bool yes, int *status)
{
    if (yes) return true;
    if (!::isatty(STDIN_FILENO)) {
        CliOutput::err(QStringLiteral("zelvo-cli trim: the change cannot be undone; give --yes "
                                      "to confirm it without a terminal."));
        *status = 2;
        return false;
    }
    CliOutput::err(NSVideoToolController::trimQuestionText + QLatin1Char('\n') +
                   NSVideoToolController::trimQuestionInformativeText);
    std::fprintf(stderr, "%s? [y/N] ", qPrintable(NSVideoToolController::trimConfirmButtonText));
    std::fflush(stderr);
    const QString answer = QTextStream(stdin).readLine().trimmed().toLower();
    *status = 1;
    return answer == QLatin1String("y") || answer == QLatin1String("yes");
}

int CliVideoToolCommand::trim(const QStringList &arguments)
{
    CliParser parser(QStringLiteral("trim"), QString::fromUtf8(trimHelp));
    const QCommandLineOption head(QStringLiteral("head"), QStringLiteral("Seconds off the head."),
                                  QStringLiteral("SECONDS"), QStringLiteral("0"));
    const QCommandLineOption tail(QStringLiteral("tail"), QStringLiteral("Seconds off the tail."),
                                  QStringLiteral("SECONDS"), QStringLiteral("0"));
    const QCommandLineOption yes(QStringLiteral("yes"), QStringLiteral("Do not ask."));
    parser.addOption(head);
    parser.addOption(tail);
    parser.addOption(yes);
    NSVideoToolController tools;
    if (const auto ended = prepare(parser, arguments, tools)) return *ended;
    int status = 0;
    const auto headSeconds = number(parser, head, &status);
    const auto tailSeconds = number(parser, tail, &status);
    if (!headSeconds || !tailSeconds) return status;
    if (!confirmTrim(parser.isSet(yes), &status)) return status;
    auto result = NSVideoToolController::TrimResult::Busy;
    runUntil(tools, &NSVideoToolController::trimEnded, &result,
             [&] { tools.trim(*headSeconds, *tailSeconds); });
    switch (result) {
    case NSVideoToolController::TrimResult::Done:
        tools.waitForJobs();
        printFile(tools);
        return 0;
    case NSVideoToolController::TrimResult::TooLong:
        CliOutput::err(NSVideoToolController::tooLongText);
        return 1;
    case NSVideoToolController::TrimResult::NoTools:
        CliOutput::err(QStringLiteral("ffmpeg is not in the working folder; run 'zelvo-cli "
                                      "setup FOLDER' first."));
        return 1;
    case NSVideoToolController::TrimResult::Busy:
        CliOutput::err(NSVideoToolController::trimBusyText);
        return 1;
    default:
        CliOutput::err(NSVideoToolController::trimFailedText);
        return 1;
    }
}

int CliVideoToolCommand::encode(const QStringList &arguments)
{
    CliParser parser(QStringLiteral("encode"), QString::fromUtf8(encodeHelp));
    NSVideoToolController tools;
    if (const auto ended = prepare(parser, arguments, tools)) return *ended;
    if (!tools.canReencode()) {
        CliOutput::err(QStringLiteral("%1 is not a video that can be re-encoded to H.264.")
                           .arg(tools.currentFile()->localFile()));
        return 1;
    }
    if (!tools.startEncode()) {
        CliOutput::err(NSVideoToolController::encodeFailedText);
        return 1;
    }
    CliProgress progress(stderr);
    QObject::connect(&tools, &NSVideoToolController::encodeProgressed, [&](float seconds) {
        progress.showText(EncodeProgress::text(seconds, tools.encodeDuration()));
    });
    SignalBridge termination;
    QObject::connect(&termination, &SignalBridge::terminationRequested,
                     [&tools] { tools.cancelEncode(); });
    std::optional<EncodeError> error;
    runUntil(tools, &NSVideoToolController::encodeEnded, &error, [] {});
    progress.finish();
    if (!error) {
        printFile(tools);
        return 0;
    }
    CliOutput::err(error->description());
    return error->domain == NSffmpegConvert264::cancelledDomain ? CliTaskRun::Paused
                                                                : CliTaskRun::Failure;
}

int CliVideoToolCommand::thumbnail(const QStringList &arguments)
{
    CliParser parser(QStringLiteral("thumbnail"), QString::fromUtf8(thumbnailHelp));
    const QCommandLineOption at(QStringLiteral("at"), QStringLiteral("Where, 0 to 1."),
                                QStringLiteral("FRACTION"));
    parser.addOption(at);
    NSVideoToolController tools;
    if (const auto ended = prepare(parser, arguments, tools)) return *ended;
    int status = 0;
    const auto fraction = number(parser, at, &status);
    if (!fraction) return status;
    if (*fraction < 0 || *fraction > 1)
        return parser.usageError(QStringLiteral("--at takes a fraction from 0 to 1"));
    QImage frame;
    runUntil(tools, &NSVideoToolController::previewEnded, &frame,
             [&] { tools.previewAt(*fraction); });
    if (frame.isNull() || !tools.saveThumbnail()) {
        CliOutput::err(QStringLiteral("No frame could be read at %1 of %2.")
                           .arg(*fraction)
                           .arg(tools.currentFile()->localFile()));
        return 1;
    }
    CliOutput::out(QStringLiteral("Saved a %1 x %2 frame as the thumbnail.")
                       .arg(frame.width())
                       .arg(frame.height()));
    return 0;
}
