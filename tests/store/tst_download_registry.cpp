// Whole downloads through the registry and the task record, and the registry's promises: why
// each run ended, what a second start, a pause and a removal do to a running download, how long
// quit may take, and that two downloads never write one file. Real yt-dlp, ffmpeg and ffprobe
// against the local server, or small fakes where a tool's behaviour must be forced.
#include "StoreTasks.h"

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
        const bool probing = QTest::qWaitFor(
            [&] { return !processesMentioning(folder + "/ffprobe").isEmpty(); }, 10000);
        return probing && processesMentioning(folder + "/yt-dlp").isEmpty() ? task : nullptr;
    }
    static std::shared_ptr<XTask> newTask(const QString &url) { return savedTask(store(), url); }
    QList<RunEnd> endsOf(const std::shared_ptr<XTask> &task) const
    {
        QList<RunEnd> ends;
        for (const auto &[key, end] : m_ends) {
            if (key == task) ends << end;
        }
        return ends;
    }
    // The end report of a run started here (the queued report of a refusal counts too).
    RunEnd endOf(const std::shared_ptr<XTask> &task, int reports = 1)
    {
        (void)QTest::qWaitFor([&] { return endsOf(task).size() >= reports; }, 60000);
        return endsOf(task).value(reports - 1, {RunOutcome::SaveFailed, "no end report"});
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

    // Why each run ended, what the task says of it, and the files it recorded.
    void runEnds_data()
    {
        QTest::addColumn<bool>("installed"); // yt-dlp in the working folder
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("claimedElsewhere");
        QTest::addColumn<RunOutcome>("outcome");
        QTest::addColumn<QString>("reason"); // how a failure's reason begins
        QTest::addColumn<qint64>("status");
        QTest::addColumn<QStringList>("names"); // of the files recorded

        const qint64 failed = XTask::StatusFailed;
        const qint64 created = XTask::StatusCreated;
        const qint64 completed = XTask::StatusCompleted;
        addRow("direct file", true, "a.mp4", false, RunOutcome::Completed, QString(), completed,
               QStringList{"a [a].mp4"});
        addRow("playlist", true, "two.html", false, RunOutcome::Completed, QString(), completed,
               QStringList{"Two videos (1) [two-1].mp4", "Two videos (2) [two-2].mp4"});
        // The page's first video is missing: the task fails, and keeps the second.
        addRow("failure keeps what finished", true, "missing.html", false, RunOutcome::Failed,
               "unable to download video data: HTTP Error 404: Not Found", failed,
               QStringList{"Missing first (2) [missing-2].mp4"});
        addRow("not set up", false, "a.mp4", false, RunOutcome::NotSetUp, QString(), created,
               QStringList());
        addRow("refused", true, "a.mp4", true, RunOutcome::Refused,
               "another process is downloading the task", created, QStringList());
    }

    void runEnds()
    {
        QFETCH(bool, installed);
        QFETCH(QString, path);
        QFETCH(bool, claimedElsewhere);
        QFETCH(RunOutcome, outcome);
        QFETCH(QString, reason);
        QFETCH(qint64, status);
        QFETCH(QStringList, names);
        const QString folder = installed ? useFolder(QTest::currentDataTag())
                                         : useFolder(QTest::currentDataTag(), "yt-dlp");
        const auto task = newTask(m_site.url(path));
        const auto claim = claimedElsewhere ? store().claimTask(*task) : nullptr;
        QCOMPARE(m_registry.start(task), claimedElsewhere ? Start::Refused : Start::Started);
        const RunEnd end = endOf(task);
        QCOMPARE(end.outcome, outcome);
        QVERIFY2(outcome == RunOutcome::Failed ? end.reason.startsWith(reason)
                                               : end.reason == reason,
                 qPrintable(end.reason));
        QTest::qWait(50);
        QCOMPARE(endsOf(task).size(), 1);
        QVERIFY(!m_registry.isRunning(*task));
        QCOMPARE(task->currentStatus(), status);
        QCOMPARE(task->failed_reason(), outcome == RunOutcome::Failed ? end.reason : QString());
        QCOMPARE(task->completedDate().isValid(), status == XTask::StatusCompleted);
        QStringList recorded;
        for (const auto &file : files(task)) {
            recorded << QFileInfo(file->localFile()).fileName();
            QCOMPARE(QFileInfo(file->localFile()).path(), folder);
            QVERIFY(!file->thumbnail().isEmpty()); // probed (the details: tst_task_files)
        }
        QCOMPARE(recorded, names);
        if (names.size() > 1) QCOMPARE(task->worker()->numberOfTotal(), names.size());
        if (outcome == RunOutcome::Completed) {
            if (names.size() == 1) QCOMPARE(task->progress(), 1.0f);
            QVERIFY(!task->thumbnail().isEmpty());
        }
        QVERIFY(!store().hasChanges()); // saved
    }

    // A start right after a pause waits for the first run to end, and is no second run.
    void resumeRightAfterPauseWaitsForTheFirstRun()
    {
        const QString folder = useFolder("resumed at once");
        const auto task = newTask(m_site.url("slow/60000/a.mp4"));
        QCOMPARE(m_registry.start(task), Start::Started);
        QTRY_VERIFY_WITH_TIMEOUT(task->progress() > 0.0f, 20000);
        const std::shared_ptr<NSYtdlpTask> firstRunner = task->worker();
        m_registry.pause(task);
        QCOMPARE(task->currentStatus(), XTask::StatusCreated);
        QCOMPARE(m_registry.start(task), Start::Queued);
        int mostAtOnce = 0;
        (void)QTest::qWaitFor(
            [&] {
                mostAtOnce = qMax(mostAtOnce, ytdlpRuns(folder));
                return !m_registry.isRunning(*task);
            },
            30000);
        QCOMPARE(endOf(task).outcome, RunOutcome::Completed);
        QCOMPARE(mostAtOnce, 1);
        QVERIFY(task->worker() != firstRunner);
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        QVERIFY(task->failed_reason().isNull()); // "Interrupted by user" does not count
        QCOMPARE(files(task).size(), 1);
        QVERIFY(FileContents::same(files(task).first()->localFile(), m_site.siteFile("a.mp4")));
        QCOMPARE(files(task).first()->videoEncodeName(), "h264");
    }

    // Paused while the audio comes: the finished video piece is recorded; the resume merges
    // and deletes it, and its record goes with it. (A merge in one run: tst_ytdlp_download.)
    void dashMergeAfterAPauseLeavesOneRecord()
    {
        const QString folder = useFolder("dash");
        const auto task = newTask(m_site.url("dash/slowaudio.mpd"));
        task->setTryBestVideo(true); // the video and audio come apart
        QCOMPARE(m_registry.start(task), Start::Started);
        QTRY_VERIFY_WITH_TIMEOUT(QDir(folder).entryList({"*.mp4"}, QDir::Files).size() == 1, 20000);
        m_registry.pause(task);
        QCOMPARE(endOf(task).outcome, RunOutcome::Paused);
        QCOMPARE(task->currentStatus(), XTask::StatusCreated);
        QVERIFY(!task->completedDate().isValid());
        QVERIFY(processesMentioning(folder).isEmpty());
        QVERIFY2(files(task).size() == 1, qPrintable(QDir(folder).entryList().join(" | ")));
        const QString piece = files(task).first()->localFile();
        QVERIFY2(piece.endsWith(".mp4") && piece != folder + "/slowaudio [slowaudio].mp4",
                 qPrintable(piece));

        QCOMPARE(m_registry.start(task), Start::Started);
        QCOMPARE(endOf(task, 2).outcome, RunOutcome::Completed);
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
        const RunEnd end = endOf(task);
        QCOMPARE(end.outcome, RunOutcome::Failed);
        QCOMPARE(end.reason, "gave up");
        QTest::qWait(1500); // a restart would have run yt-dlp again by now
        QCOMPARE(FileContents::read(starts).count('\n'), 1);
        QCOMPARE(endsOf(task).size(), 1);
        QVERIFY(!m_registry.isRunning(*task));
    }

    void pauseAfterYtdlpEndedLetsTheTaskComplete()
    {
        const QString folder =
            useQuickFolder("late pause", "sleep 1\nexec /usr/bin/ffprobe \"$@\"\n");
        const auto task = startUntilProbing(folder);
        QVERIFY(task);
        QCOMPARE(m_registry.pause(task), DownloadRegistry::PauseAnswer::Completing);
        QCOMPARE(endOf(task).outcome, RunOutcome::Completed);
        QCOMPARE(files(task).size(), 1);
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
        QCOMPARE(m_registry.pause(task), DownloadRegistry::PauseAnswer::Completing);
        QCOMPARE(m_registry.start(task), Start::AlreadyRunning); // no restart either
        QCOMPARE(endOf(task).outcome, RunOutcome::Completed);
        QCOMPARE(m_registry.pause(task), DownloadRegistry::PauseAnswer::NotRunning);
        QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
        QVERIFY(task->completedDate().isValid());
        QVERIFY(!store().hasChanges());
    }

    void removalWaitsForTheRunAndTakesItsFiles()
    {
        const QString folder = useFolder("removed");
        // Caught after the video piece has finished, while the audio is still coming.
        const auto task = newTask(m_site.url("dash/slowaudio.mpd"));
        task->setTryBestVideo(true); // the video and audio come apart
        QCOMPARE(m_registry.start(task), Start::Started);
        QTRY_VERIFY2_WITH_TIMEOUT(
            !QDir(folder).entryList({"*.mp4"}, QDir::Files).isEmpty() &&
                !QDir(folder).entryList({"*.m4a.part"}, QDir::Files).isEmpty(),
            qPrintable(QDir(folder).entryList().join(" | ")), 20000);
        QCOMPARE(m_registry.removeWhenEnded(task),
                 DownloadRegistry::RemoveAnswer::RemovedWhenEnded);
        QCOMPARE(m_registry.start(task), Start::Refused);
        QCOMPARE(endOf(task).outcome, RunOutcome::Refused);
        QCOMPARE(endOf(task, 2).outcome, RunOutcome::Removed);
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
        const RunEnd refused = endOf(second);
        QCOMPARE(refused.outcome, RunOutcome::Failed);
        QCOMPARE(refused.reason,
                 QString("Another download is writing %1/a [a].mp4; this one stops.").arg(folder));
        QVERIFY(files(second).isEmpty());
        QVERIFY(m_registry.isRunning(*first));
        QCOMPARE(endOf(first).outcome, RunOutcome::Completed);
        QVERIFY(FileContents::same(folder + "/a [a].mp4", m_site.siteFile("a.mp4")));
    }
};

QTEST_GUILESS_MAIN(TestDownloadRegistry)
#include "tst_download_registry.moc"
