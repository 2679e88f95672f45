// Whole downloads through the registry and the task record, and the registry's promises: why
// each run ended, what a second start, a pause and a removal do to a running download, how long
// quit may take, and that two downloads never write one file. Real yt-dlp, ffmpeg and ffprobe
// against the local server, or small fakes where a tool's behaviour must be forced.
#include "download/NSYtdlpTask.h"
#include "store/DownloadRegistry.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "support/DownloadFixture.h"
#include "support/DownloadRun.h"
#include "support/FakeExecutable.h"
#include "support/FileContents.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QtTest>

using Start = DownloadRegistry::StartAnswer;

class TestDownloadRegistry : public QObject
{
    Q_OBJECT

    DownloadFixture m_site;
    DownloadRegistry m_registry;
    // Holding the task keeps its address from going to a later one.
    QList<std::pair<std::shared_ptr<XTask>, RunEnd>> m_ends;

    static XCoreDataManagement &store() { return XCoreDataManagement::shared(); }
    static QList<std::shared_ptr<XFile>> files(const std::shared_ptr<XTask> &task)
    {
        return store().filesForTask(task);
    }

    // A working folder with the real tools; a tool given a body is a fake instead, a tool
    // given none is missing.
    QString useFolder(const QString &name, const QString &tool = {}, const QString &body = {})
    {
        const QString folder = m_site.makeToolFolder(name);
        if (!tool.isEmpty()) replaceTool(folder, tool, body);
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
        return folder;
    }
    static void replaceTool(const QString &folder, const QString &tool, const QString &body)
    {
        QFile::remove(folder + "/" + tool);
        if (!body.isEmpty()) FakeExecutable::write(folder + "/" + tool, body);
    }
    // A folder whose yt-dlp "downloads" the site's a.mp4 at once, with the given ffprobe.
    QString useQuickFolder(const QString &name, const QString &ffprobe = {})
    {
        const QString folder = useFolder(name);
        replaceTool(folder, "yt-dlp",
                    QString("cp '%1' '%2/late.mp4'\necho '[download] Destination: %2/late.mp4'\n")
                        .arg(m_site.siteFile("a.mp4"), folder));
        if (!ffprobe.isEmpty()) replaceTool(folder, "ffprobe", ffprobe);
        return folder;
    }
    // Starts a task in such a folder; null unless yt-dlp has ended and ffprobe runs in time.
    std::shared_ptr<XTask> startUntilProbing(const QString &folder)
    {
        const auto task = newTask(m_site.url("late.mp4"));
        if (m_registry.start(task) != Start::Started) return nullptr;
        QElapsedTimer timer;
        timer.start();
        while (processesMentioning(folder + "/ffprobe").isEmpty() && timer.elapsed() < 10000)
            QTest::qWait(20);
        if (processesMentioning(folder + "/ffprobe").isEmpty()) return nullptr;
        return processesMentioning(folder + "/yt-dlp").isEmpty() ? task : nullptr;
    }
    static std::shared_ptr<XTask> newTask(const QString &url, bool best = false)
    {
        auto task = store().creatTaskURL(url, "None", QString());
        task->setTryBestVideo(best);
        store().save();
        return task;
    }
    QList<RunEnd> endsOf(const std::shared_ptr<XTask> &task) const
    {
        QList<RunEnd> ends;
        for (const auto &[key, end] : m_ends) {
            if (key == task) ends << end;
        }
        return ends;
    }
    // Waits for the task's end report; the last one.
    std::optional<RunEnd> endOf(const std::shared_ptr<XTask> &task)
    {
        QElapsedTimer timer;
        timer.start();
        while (endsOf(task).isEmpty() && timer.elapsed() < 60000)
            QTest::qWait(20);
        return endsOf(task).isEmpty() ? std::nullopt : std::optional(endsOf(task).last());
    }
    bool waitForEnd(const std::shared_ptr<XTask> &task)
    {
        QElapsedTimer timer;
        timer.start();
        while (m_registry.isRunning(*task) && timer.elapsed() < 60000)
            QTest::qWait(20);
        return !m_registry.isRunning(*task);
    }
    bool runToEnd(const std::shared_ptr<XTask> &task)
    {
        return m_registry.start(task) == Start::Started && waitForEnd(task);
    }
    bool endedCompleted(const std::shared_ptr<XTask> &task) const
    {
        return !endsOf(task).isEmpty() && endsOf(task).last().outcome == RunOutcome::Completed;
    }
    // stopAll(500) returns within bound and leaves nothing running, claimed or unsaved.
    void stopAllWithin(qint64 bound, const std::shared_ptr<XTask> &task, const QString &folder)
    {
        QElapsedTimer timer;
        timer.start();
        m_registry.stopAll(500);
        QVERIFY2(timer.elapsed() < bound, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!m_registry.isRunning(*task));
        QTRY_VERIFY(processesMentioning(folder).isEmpty());
        QVERIFY(!store().isClaimed(*task));
        QVERIFY(!store().hasChanges());
    }
    // yt-dlp runs of the folder at this moment; a child yt-dlp forks (to run ffprobe) is part
    // of its parent's run.
    static int ytdlpRuns(const QString &folder)
    {
        const QList<qint64> found = processesMentioning(folder + "/yt-dlp");
        int runs = 0;
        for (qint64 pid : found) {
            QFile stat(QString("/proc/%1/stat").arg(pid));
            const QList<QByteArray> fields =
                stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ') : QList<QByteArray>();
            if (!found.contains(fields.value(3).toLongLong())) ++runs;
        }
        return runs;
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateHome();
        QVERIFY(m_site.start());
        QVERIFY(store().isOpen());
        connect(&m_registry, &DownloadRegistry::downloadEnded, this,
                [this](std::shared_ptr<XTask> task, const RunEnd &end) {
                    m_ends.append({task, end});
                });
    }

    void directFileCompletesWithItsDetails()
    {
        const QString folder = useFolder("direct");
        const auto task = newTask(m_site.url("a.mp4"));
        QVERIFY(runToEnd(task));
        QCOMPARE(endsOf(task).size(), 1);
        QCOMPARE(endsOf(task).first().outcome, RunOutcome::Completed);
        QCOMPARE(endsOf(task).first().reason, QString());
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        QVERIFY(task->completedDate().isValid());
        QCOMPARE(task->progress(), 1.0f);
        const auto recorded = files(task);
        QCOMPARE(recorded.size(), 1);
        const auto file = recorded.first();
        QCOMPARE(file->localFile(), folder + "/a [a].mp4");
        QCOMPARE(file->name(), "a [a]");
        QCOMPARE(file->width(), std::optional<qint64>(320));
        QCOMPARE(file->height(), std::optional<qint64>(240));
        QCOMPARE(file->videoEncodeName(), "h264");
        QVERIFY(qAbs(file->duration().value_or(0) - 2.0f) < 0.1f);
        const QImage thumbnail = QImage::fromData(file->thumbnail(), "JPEG");
        QVERIFY(!thumbnail.isNull());
        QVERIFY(qMax(thumbnail.width(), thumbnail.height()) <= 1000);
        QVERIFY(!task->thumbnail().isEmpty());
        QCOMPARE(file->videoDescription(), "320 x 240    h264  00:00:02");
        QVERIFY(!store().hasChanges()); // saved
    }

    void playlistGivesTwoRecords()
    {
        const QString folder = useFolder("playlist");
        const auto task = newTask(m_site.url("two.html"));
        QVERIFY(runToEnd(task));
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        QStringList paths;
        for (const auto &file : files(task))
            paths << file->localFile();
        QCOMPARE(paths, (QStringList{folder + "/Two videos (1) [two-1].mp4",
                                     folder + "/Two videos (2) [two-2].mp4"}));
        QCOMPARE(task->worker()->numberOfTotal(), 2);
    }

    void endSaysWhy_data()
    {
        QTest::addColumn<QString>("ytdlp"); // a fake's body, "real" or "none"
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("claimedElsewhere");
        QTest::addColumn<RunOutcome>("outcome");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<qint64>("status");

        const qint64 failed = XTask::StatusFailed;
        const qint64 created = XTask::StatusCreated;
        addRow("failed, with yt-dlp's reason", "real", "nothing-here.mp4", false,
               RunOutcome::Failed, "HTTP Error 404", failed);
        // What yt-dlp writes when the server goes away mid-download.
        addRow("failed, the reason after a carriage return",
               "printf 'ERROR: \\r\\n[download] Got error: Connection reset by peer\\n' "
               ">&2\nexit 1\n",
               "a.mp4", false, RunOutcome::Failed, "[download] Got error: Connection reset by peer",
               failed);
        addRow("not set up", "none", "a.mp4", false, RunOutcome::NotSetUp, QString(), created);
        addRow("refused", "real", "a.mp4", true, RunOutcome::Refused,
               "another process is downloading the task", created);
    }

    void endSaysWhy()
    {
        QFETCH(QString, ytdlp);
        QFETCH(QString, path);
        QFETCH(bool, claimedElsewhere);
        QFETCH(RunOutcome, outcome);
        QFETCH(QString, reason);
        QFETCH(qint64, status);
        if (ytdlp == "real")
            useFolder(QTest::currentDataTag());
        else
            useFolder(QTest::currentDataTag(), "yt-dlp", ytdlp == "none" ? "" : ytdlp);
        const auto task = newTask(m_site.url(path));
        const auto claim = claimedElsewhere ? store().claimTask(*task) : nullptr;
        QCOMPARE(m_registry.start(task), claimedElsewhere ? Start::Refused : Start::Started);
        const auto end = endOf(task);
        QVERIFY(end);
        QCOMPARE(end->outcome, outcome);
        if (outcome == RunOutcome::Failed)
            QVERIFY2(end->reason.contains(reason), qPrintable(end->reason));
        else
            QCOMPARE(end->reason, reason);
        QCOMPARE(endsOf(task).size(), 1);
        QCOMPARE(task->currentStatus(), status);
        if (outcome == RunOutcome::Failed)
            QCOMPARE(task->failed_reason(), end->reason);
        else
            QVERIFY(task->failed_reason().isNull());
        QVERIFY(files(task).isEmpty());
        QVERIFY(!store().hasChanges());
    }

    // The page's first video is missing: the task fails, and keeps the second.
    void failureKeepsWhatFinished()
    {
        const QString folder = useFolder("failures");
        const auto task = newTask(m_site.url("missing.html"));
        QVERIFY(runToEnd(task));
        QVERIFY(!endedCompleted(task));
        QCOMPARE(task->currentStatus(), XTask::StatusFailed);
        QCOMPARE(task->failed_reason(), "unable to download video data: HTTP Error 404: Not Found");
        QCOMPARE(files(task).size(), 1);
        QCOMPARE(files(task).first()->localFile(), folder + "/Missing first (2) [missing-2].mp4");
        QVERIFY(!task->completedDate().isValid());
    }

    // The real yt-dlp writes its errors on standard error at the end; this one does not. The
    // progress line is read after the error, once yt-dlp has ended; it makes the task
    // downloading again, so the run completes.
    void progressAfterAnErrorDownloadsAgain()
    {
        useFolder("error then progress", "yt-dlp",
                  "echo 'ERROR: first try failed'\nsleep 1\n"
                  "echo '[download]  50.0% of 1.00MiB at 1.00KiB/s ETA 00:01'\n");
        const auto task = newTask(m_site.url("a.mp4"));
        QCOMPARE(m_registry.start(task), Start::Started);
        QTRY_COMPARE_WITH_TIMEOUT(task->currentStatus(), XTask::StatusFailed, 5000);
        QCOMPARE(task->failed_reason(), "first try failed");
        QVERIFY(waitForEnd(task));
        QCOMPARE(task->progress(), 0.5f);
        QVERIFY(endedCompleted(task));
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        QCOMPARE(task->failed_reason(), "first try failed");
    }

    void pauseThenSecondStartCompletes()
    {
        const QString folder = useFolder("paused");
        const auto task = newTask(m_site.url("slow/60000/a.mp4"));
        QCOMPARE(m_registry.start(task), Start::Started);
        QTRY_VERIFY_WITH_TIMEOUT(task->progress() > 0.0f, 20000);
        m_registry.pause(task);
        QCOMPARE(task->currentStatus(), XTask::StatusCreated);
        QVERIFY(waitForEnd(task));
        QVERIFY(!endedCompleted(task));
        QCOMPARE(task->currentStatus(), XTask::StatusCreated);
        QVERIFY(!task->completedDate().isValid());
        QVERIFY(task->failed_reason().isNull()); // "Interrupted by user" does not count
        QVERIFY(files(task).isEmpty());
        QVERIFY(processesMentioning(folder).isEmpty());

        QVERIFY(runToEnd(task));
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        const auto recorded = files(task);
        QCOMPARE(recorded.size(), 1);
        QVERIFY(QFileInfo::exists(recorded.first()->localFile()));
        QCOMPARE(recorded.first()->width(), std::optional<qint64>(320));
        QCOMPARE(recorded.first()->videoEncodeName(), "h264");
    }

    void resumeRightAfterPauseWaitsForTheFirstRun()
    {
        const QString folder = useFolder("resumed at once");
        const auto task = newTask(m_site.url("slow/60000/a.mp4"));
        QCOMPARE(m_registry.start(task), Start::Started);
        QTRY_VERIFY_WITH_TIMEOUT(task->progress() > 0.0f, 20000);
        const std::shared_ptr<NSYtdlpTask> firstRunner = task->worker();
        m_registry.pause(task);
        QCOMPARE(m_registry.start(task), Start::Queued);
        int mostAtOnce = 0;
        QElapsedTimer timer;
        timer.start();
        while (m_registry.isRunning(*task) && timer.elapsed() < 30000) {
            mostAtOnce = qMax(mostAtOnce, ytdlpRuns(folder));
            QTest::qWait(20);
        }
        QVERIFY(!m_registry.isRunning(*task));
        QCOMPARE(mostAtOnce, 1);
        QVERIFY(task->worker() != firstRunner);
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        QCOMPARE(files(task).size(), 1);
    }

    // Paused while the audio comes: the finished video piece is recorded; the resume merges
    // and deletes it, and its record goes with it. (A merge in one run: tst_ytdlp_download.)
    void dashMergeAfterAPauseLeavesOneRecord()
    {
        const QString folder = useFolder("dash");
        const auto task = newTask(m_site.url("dash/slowaudio.mpd"), true);
        QCOMPARE(m_registry.start(task), Start::Started);
        QTRY_VERIFY_WITH_TIMEOUT(QDir(folder).entryList({"*.mp4"}, QDir::Files).size() == 1, 20000);
        QVERIFY(m_registry.isRunning(*task));
        m_registry.pause(task);
        QVERIFY(waitForEnd(task));
        QCOMPARE(task->currentStatus(), XTask::StatusCreated);
        QVERIFY2(files(task).size() == 1, qPrintable(QDir(folder).entryList().join(" | ")));
        const QString piece = files(task).first()->localFile();
        QVERIFY2(piece.endsWith(".mp4") && piece != folder + "/slowaudio [slowaudio].mp4",
                 qPrintable(piece));

        QVERIFY(runToEnd(task));
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        const auto recorded = files(task);
        QCOMPARE(recorded.size(), 1);
        QCOMPARE(recorded.first()->localFile(), folder + "/slowaudio [slowaudio].mp4");
        QVERIFY(QFileInfo::exists(recorded.first()->localFile()));
        QVERIFY(!QFileInfo::exists(piece));
        QCOMPARE(recorded.first()->videoEncodeName(), "h264");
    }

    void secondStartOfARunningTaskStartsNothing()
    {
        const QString starts = QDir::temp().filePath("registry-starts");
        QFile::remove(starts);
        useFolder("double start", "yt-dlp",
                  QString("echo started >> '%1'\nsleep 1\necho 'ERROR: gave up' >&2\nexit 1\n")
                      .arg(starts));
        const auto task = newTask(m_site.url("a.mp4"));
        QCOMPARE(m_registry.start(task), Start::Started);
        QTest::qWait(300);
        QCOMPARE(m_registry.start(task), Start::AlreadyRunning);
        const auto end = endOf(task);
        QVERIFY(end);
        QCOMPARE(end->outcome, RunOutcome::Failed);
        QCOMPARE(end->reason, "gave up");
        QTest::qWait(1500); // a restart would have run yt-dlp again by now
        QFile file(starts);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count('\n'), 1);
        QCOMPARE(endsOf(task).size(), 1);
        QVERIFY(!m_registry.isRunning(*task));
    }

    void pauseAfterYtdlpEndedLetsTheTaskComplete()
    {
        // The probing of the file (part of recording it) is slow.
        const QString folder =
            useQuickFolder("late pause", "sleep 1\nexec /usr/bin/ffprobe \"$@\"\n");
        const auto task = startUntilProbing(folder);
        QVERIFY(task);
        QCOMPARE(m_registry.pause(task), DownloadRegistry::PauseAnswer::Completing);
        QCOMPARE(m_registry.start(task), Start::AlreadyRunning); // no restart either
        const auto end = endOf(task);
        QVERIFY(end);
        QCOMPARE(end->outcome, RunOutcome::Completed);
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        QCOMPARE(files(task).size(), 1);
        QCOMPARE(m_registry.pause(task), DownloadRegistry::PauseAnswer::NotRunning);
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
    }

    void pauseAfterCompletionBeganKeepsItCompleted()
    {
        useQuickFolder("pause while completing");
        const auto task = newTask(m_site.url("late.mp4"));
        QCOMPARE(m_registry.start(task), Start::Started);
        // Events wait, so the registry has not yet heard that the run ended.
        QElapsedTimer timer;
        timer.start();
        while (task->currentStatus() != XTask::StatusCompleted && timer.elapsed() < 20000)
            QThread::msleep(5);
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        QVERIFY(m_registry.isRunning(*task));
        // The task itself refuses a pause once its completion has begun, whoever asks.
        QVERIFY(!task->pauseDownload());
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        QCOMPARE(m_registry.pause(task), DownloadRegistry::PauseAnswer::Completing);
        const auto end = endOf(task);
        QVERIFY(end);
        QCOMPARE(end->outcome, RunOutcome::Completed);
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        QVERIFY(task->completedDate().isValid());
        QVERIFY(!store().hasChanges());
    }

    void removalWaitsForTheRunAndTakesItsFiles()
    {
        const QString folder = useFolder("removed");
        // Caught after the video piece has finished, while the audio is still coming.
        const auto task = newTask(m_site.url("dash/slowaudio.mpd"), true);
        QCOMPARE(m_registry.start(task), Start::Started);
        QTRY_VERIFY2_WITH_TIMEOUT(
            !QDir(folder).entryList({"*.mp4"}, QDir::Files).isEmpty() &&
                !QDir(folder).entryList({"*.m4a.part"}, QDir::Files).isEmpty(),
            qPrintable(QDir(folder).entryList().join(" | ")), 20000);
        QCOMPARE(m_registry.removeWhenEnded(task),
                 DownloadRegistry::RemoveAnswer::RemovedWhenEnded);
        QCOMPARE(m_registry.start(task), Start::Refused);
        QTRY_COMPARE_WITH_TIMEOUT(endsOf(task).size(), 2, 20000);
        QCOMPARE(endsOf(task).first().outcome, RunOutcome::Refused);
        QCOMPARE(endsOf(task).last().outcome, RunOutcome::Removed);
        QVERIFY(!m_registry.isRunning(*task));
        QVERIFY(task->isDeleted());
        QVERIFY(!store().existHistorys().contains(task));
        // The piece the run recorded on its way out went with the task.
        QVERIFY2(QDir(folder).entryList({"*.mp4", "*.m4a"}, QDir::Files).isEmpty(),
                 qPrintable(QDir(folder).entryList().join(" | ")));
        QVERIFY(processesMentioning(folder).isEmpty());

        // A task that does not run goes at once.
        const auto idle = newTask(m_site.url("a.mp4"));
        QCOMPARE(m_registry.removeWhenEnded(idle), DownloadRegistry::RemoveAnswer::Removed);
        QVERIFY(idle->isDeleted());
    }

    void stopAllKillsWhatDoesNotStop()
    {
        const QString folder =
            useFolder("deaf", "yt-dlp",
                      "trap '' TERM\necho '[download]  1.0% of 1.00MiB at 1.00KiB/s ETA 09:00'\n"
                      "while :; do sleep 0.1; done\n");
        const auto task = newTask(m_site.url("deaf.mp4"));
        QCOMPARE(m_registry.start(task), Start::Started);
        QTRY_COMPARE_WITH_TIMEOUT(task->progress(), 0.01f, 5000);
        stopAllWithin(3000, task, folder);
        QCOMPARE(task->currentStatus(), XTask::StatusCreated);
    }

    void stopAllBoundsARecordingThatHangs()
    {
        const QString folder = useQuickFolder("hung probe", "sleep 600\n");
        const auto task = startUntilProbing(folder);
        QVERIFY(task);
        stopAllWithin(5000, task, folder);
    }

    void twoDownloadsNeverWriteOneFile()
    {
        // Two pages whose URLs differ only in a query give yt-dlp one file name. The first is
        // slow enough to be still running when the second has started, even on a busy machine.
        const QString folder = useFolder("one destination");
        const auto first = newTask(m_site.url("slow/10000/a.mp4"));
        const auto second = newTask(m_site.url("slow/10000/a.mp4") + "?again");
        QCOMPARE(m_registry.start(first), Start::Started);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(folder + "/a [a].mp4.part").size() > 0, 20000);
        QCOMPARE(m_registry.start(second), Start::Started);
        const auto refused = endOf(second);
        QVERIFY(refused);
        QCOMPARE(refused->outcome, RunOutcome::Failed);
        QCOMPARE(refused->reason,
                 QString("Another download is writing %1/a [a].mp4; this one stops.").arg(folder));
        QVERIFY(files(second).isEmpty());
        QVERIFY(m_registry.isRunning(*first));
        const auto completed = endOf(first);
        QVERIFY(completed);
        QCOMPARE(completed->outcome, RunOutcome::Completed);
        QVERIFY(FileContents::same(folder + "/a [a].mp4", m_site.siteFile("a.mp4")));
    }
};

QTEST_GUILESS_MAIN(TestDownloadRegistry)
#include "tst_download_registry.moc"
