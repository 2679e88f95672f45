#include "cli/CliHistoryCommand.h"

#include "cli/CliDownloadCommand.h"
#include "cli/CliOutput.h"
#include "cli/CliParser.h"
#include "cli/CliStore.h"
#include "store/XCoreDataManagement.h"

#include <QFileInfo>

namespace
{

const char listHelp[] = "Usage: zelvo-cli list [SEARCH]\n"
                        "\n"
                        "The download history, newest first: id, status, date, URL, first file\n"
                        "and note; a URL or file name longer than 60 characters is shortened\n"
                        "in its middle ('zelvo-cli show ID' gives it whole). With SEARCH, the\n"
                        "tasks with a file whose name contains it (case and accents ignored),\n"
                        "once per matching file, each row with that file.\n";

const char showHelp[] = "Usage: zelvo-cli show ID\n"
                        "\n"
                        "Everything the history keeps about one task, and each of its files.\n";

const char removeHelp[] = "Usage: zelvo-cli remove ID\n"
                          "\n"
                          "Deletes the task's files from the disk (except a file another task\n"
                          "also has) and removes the task from the history. A task that is\n"
                          "being downloaded is not removed.\n";

QString dateText(const QDateTime &date)
{
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd hh:mm")) : QStringLiteral("-");
}

// A very long URL or file name is cut in its middle rather than widen every row.
constexpr qsizetype listColumnWidth = 60;

QString flagText(std::optional<bool> flag)
{
    return flag.value_or(false) ? QStringLiteral("yes") : QStringLiteral("no");
}

std::shared_ptr<XTask> taskFromArguments(CliParser &parser, const QStringList &arguments,
                                         bool forReading, int *status)
{
    if (const auto ended = parser.parse(arguments, 1, QStringLiteral("give one task id"))) {
        *status = *ended;
        return nullptr;
    }
    *status = 1;
    if (!(forReading ? CliStore::isOpenForReading() : CliStore::isOpen())) return nullptr;
    return CliDownloadCommand::taskForId(parser.positionalArguments().first());
}

} // namespace

QString CliHistoryCommand::statusWord(qint64 status)
{
    switch (status) {
    case 1:
        return QStringLiteral("downloading");
    case 2:
        return QStringLiteral("completed");
    case 3:
        return QStringLiteral("failed");
    default:
        return QStringLiteral("created");
    }
}

QStringList CliHistoryCommand::listRow(const XTask &task, const QString &filePath)
{
    const QString fileName =
        filePath.isEmpty() ? QStringLiteral("-") : QFileInfo(filePath).fileName();
    return {QString::number(task.rowId()), statusWord(task.currentStatus()),
            dateText(task.createDate()),   CliOutput::oneLine(task.url()),
            CliOutput::oneLine(fileName),  CliOutput::oneLine(task.note())};
}

int CliHistoryCommand::list(const QStringList &arguments)
{
    CliParser parser(QStringLiteral("list"), QString::fromUtf8(listHelp));
    if (const auto status = parser.parseOptional(arguments)) return *status;
    auto &store = XCoreDataManagement::shared();
    if (!CliStore::isOpenForReading()) return 1;
    const QStringList search = parser.positionalArguments();
    QList<QStringList> rows;
    if (search.isEmpty()) {
        for (const auto &task : store.existHistorys())
            rows.append(listRow(*task, task->loadLocalFiles().value(0).path));
    } else {
        // Each row names the file that matched.
        for (const auto &file : store.filesWithString(search.first()))
            rows.append(listRow(*file->task(), file->localFile()));
    }
    if (!rows.isEmpty()) CliOutput::out(CliOutput::table(rows, listColumnWidth));
    return 0;
}

int CliHistoryCommand::show(const QStringList &arguments)
{
    CliParser parser(QStringLiteral("show"), QString::fromUtf8(showHelp));
    int status = 0;
    const auto task = taskFromArguments(parser, arguments, true, &status);
    if (!task) return status;
    showTask(task);
    return 0;
}

void CliHistoryCommand::showTask(const std::shared_ptr<XTask> &task)
{
    QList<QStringList> rows = {
        {"id", QString::number(task->rowId())},
        {"status", statusWord(task->currentStatus())},
        {"url", CliOutput::oneLine(task->url())},
        {"browser", task->browers().isEmpty() ? QStringLiteral("None") : task->browers()},
        {"best video", flagText(task->tryBestVideo())},
        {"mp4 only", flagText(task->mustMP4Format())},
        {"note", CliOutput::oneLine(task->note())},
        {"created", dateText(task->createDate())},
        {"completed", dateText(task->completedDate())},
        {"failed reason", CliOutput::oneLine(task->failed_reason())},
        {"description", CliOutput::oneLine(task->source_description())},
        {"thumbnail", QStringLiteral("%1 bytes").arg(task->thumbnail().size())},
    };
    for (const auto &file : XCoreDataManagement::shared().filesForTask(task)) {
        rows.append({"file", file->localFile()});
        rows.append({"  details", file->videoDescription()});
        rows.append({"  description", CliOutput::oneLine(file->source_description())});
        rows.append({"  thumbnail", QStringLiteral("%1 bytes").arg(file->thumbnail().size())});
    }
    CliOutput::out(CliOutput::table(rows));
}

int CliHistoryCommand::remove(const QStringList &arguments)
{
    CliParser parser(QStringLiteral("remove"), QString::fromUtf8(removeHelp));
    int status = 0;
    const auto task = taskFromArguments(parser, arguments, false, &status);
    if (!task) return status;
    auto &store = XCoreDataManagement::shared();
    const qint64 id = task->rowId();
    if (store.isClaimed(*task)) {
        CliOutput::err(QStringLiteral("Task %1 is being downloaded; it is not removed.").arg(id));
        return 1;
    }
    if (!store.removeItem(task)) {
        CliOutput::err(QStringLiteral("Task %1 could not be removed.").arg(id));
        return 1;
    }
    CliOutput::out(QStringLiteral("Removed task %1.").arg(id));
    return 0;
}
