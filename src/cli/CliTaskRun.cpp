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
    bool completed = false;
    QObject::connect(&m_registry, &DownloadRegistry::downloadEnded, &loop,
                     [&](std::shared_ptr<XTask>, bool done) {
                         completed = done;
                         loop.quit();
                     });
    SignalBridge termination;
    QObject::connect(&termination, &SignalBridge::terminationRequested,
                     [this](int count) { onTermination(count); });
    QTimer refresh;
    QObject::connect(&refresh, &QTimer::timeout, [this] { m_progress.show(*m_task); });
    if (!m_registry.start(m_task)) {
        CliOutput::err(
            QStringLiteral("Task %1 is being downloaded by another process.").arg(m_task->rowId()));
        return Failure;
    }
    refresh.start(100);
    loop.exec();
    m_progress.finish();
    return outcome(completed);
}

void CliTaskRun::onTermination(int count)
{
    const auto worker = m_task->worker();
    if (count == 1) {
        // yt-dlp is done: the files are being recorded, and the completion may finish.
        if (worker && worker->childHasEnded()) {
            m_progress.say(QStringLiteral("yt-dlp has finished; recording the files..."));
            return;
        }
        m_paused = true;
        m_progress.say(QStringLiteral("Pausing; recording the finished files (Ctrl-C again to "
                                      "end at once)..."));
        m_registry.pause(m_task);
        return;
    }
    if (worker) worker->kill();
    m_task->save();
    m_progress.finish();
    ::_exit(Paused);
}

int CliTaskRun::outcome(bool completed)
{
    const qint64 id = m_task->rowId();
    if (completed) {
        printFiles();
        return Success;
    }
    if (m_paused) {
        CliOutput::err(QStringLiteral("Paused task %1; 'zelvo-cli resume %1' goes on.").arg(id));
        return Paused;
    }
    if (m_task->currentStatus() == 3) {
        CliOutput::err(QStringLiteral("Download failed: %1").arg(m_task->failed_reason()));
        return Failure;
    }
    CliOutput::err(notSetUpText());
    return Failure;
}

void CliTaskRun::printFiles() const
{
    const auto files = XCoreDataManagement::shared().filesForTask(m_task);
    if (files.isEmpty()) CliOutput::err(QStringLiteral("yt-dlp finished without a file."));
    QList<QStringList> rows;
    for (const auto &file : files)
        rows.append({file->localFile(), file->videoDescription()});
    if (!rows.isEmpty()) CliOutput::out(CliOutput::table(rows));
}
