#include "cli/CliTaskRun.h"

#include "cli/CliOutput.h"
#include "platform/SignalBridge.h"
#include "download/NSYtdlpTask.h"
#include "store/XCoreDataManagement.h"
#include "store/XTask.h"

#include <QEventLoop>
#include <QTimer>

#include <unistd.h>

CliTaskRun::CliTaskRun(std::shared_ptr<XTask> task) : m_task(std::move(task)) {}

QString CliTaskRun::notSetUpText()
{
    return QStringLiteral("yt-dlp is not installed in a working folder; run 'zelvo-cli setup "
                          "FOLDER' first.");
}

int CliTaskRun::execute()
{
    QEventLoop loop;
    RunEnd end;
    QObject::connect(&m_registry, &DownloadRegistry::downloadEnded, &loop,
                     [&](std::shared_ptr<XTask>, const RunEnd &ended) {
                         end = ended;
                         loop.quit();
                     });
    SignalBridge termination;
    QObject::connect(&termination, &SignalBridge::terminationRequested,
                     [this](int count) { onTermination(count); });
    QTimer refresh;
    QObject::connect(&refresh, &QTimer::timeout, [this] { m_progress.show(*m_task); });
    // Started or refused: either way one end follows.
    m_registry.start(m_task);
    refresh.start(100);
    loop.exec();
    m_progress.finish();
    return outcome(end);
}

void CliTaskRun::onTermination(int count)
{
    if (count == 1) {
        if (m_registry.pause(m_task) == DownloadRegistry::PauseAnswer::Completing)
            m_progress.say(QStringLiteral("yt-dlp has finished; recording the files..."));
        else
            m_progress.say(QStringLiteral("Pausing; recording the finished files (Ctrl-C again "
                                          "to end at once)..."));
        return;
    }
    if (const auto worker = m_task->worker()) worker->kill();
    m_task->save();
    m_progress.finish();
    ::_exit(Paused);
}

int CliTaskRun::outcome(const RunEnd &end)
{
    const qint64 id = m_task->rowId();
    switch (end.outcome) {
    case RunOutcome::Completed:
        printFiles();
        if (XCoreDataManagement::shared().filesForTask(m_task).isEmpty())
            CliOutput::err(QStringLiteral("yt-dlp finished without a file."));
        return Success;
    case RunOutcome::Paused:
        CliOutput::err(QStringLiteral("Paused task %1; 'zelvo-cli resume %1' goes on.").arg(id));
        return Paused;
    case RunOutcome::Failed:
        printFiles();
        CliOutput::err(QStringLiteral("Download failed: %1").arg(end.reason));
        sayWhatArrived();
        return Failure;
    case RunOutcome::NotSetUp:
        CliOutput::err(notSetUpText());
        return Failure;
    case RunOutcome::SaveFailed:
        printFiles();
        CliOutput::err(QStringLiteral("Task %1: %2.").arg(id).arg(end.reason));
        return Failure;
    case RunOutcome::Refused:
    case RunOutcome::Removed:
        break;
    }
    CliOutput::err(QStringLiteral("Task %1 is not downloaded: %2.").arg(id).arg(end.reason));
    return Failure;
}

void CliTaskRun::printFiles() const
{
    QList<QStringList> rows;
    for (const auto &file : XCoreDataManagement::shared().filesForTask(m_task))
        rows.append({file->localFile(), file->videoDescription()});
    if (!rows.isEmpty()) CliOutput::out(CliOutput::table(rows));
}

// A playlist counts its videos; a single video counts as one.
void CliTaskRun::sayWhatArrived() const
{
    const qsizetype arrived = XCoreDataManagement::shared().filesForTask(m_task).size();
    const auto worker = m_task->worker();
    const qint64 expected = qMax<qint64>(worker ? worker->numberOfTotal() : 1, arrived);
    CliOutput::err(QStringLiteral("%1 of %2 videos arrived.").arg(arrived).arg(expected));
}
