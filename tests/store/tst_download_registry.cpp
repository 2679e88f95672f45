// The download registry's promises: why each run ended, what a second start, a late pause and
// a removal do to a running download, how long quit may take, and that two downloads never
// write one file. Real yt-dlp, ffmpeg and ffprobe against the local server, or small fakes
// where a tool's behaviour must be forced.
#include "download/NSYtdlpTask.h"
#include "store/DownloadRegistry.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "support/DownloadFixture.h"
#include "support/DownloadRun.h"
#include "support/FakeExecutable.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

class TestDownloadRegistry : public QObject
{
    Q_OBJECT

private:
    DownloadFixture m_site;
    DownloadRegistry m_registry;
    // Holding the task keeps its address from going to a later one.
    QList<std::pair<std::shared_ptr<XTask>, RunEnd>> m_ends;

    static XCoreDataManagement &store() { return XCoreDataManagement::shared(); }

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
                    QStringLiteral("cp '%1' '%2/late.mp4'\n"
                                   "echo '[download] Destination: %2/late.mp4'\n")
                        .arg(m_site.siteFile("a.mp4"), folder));
        if (!ffprobe.isEmpty()) replaceTool(folder, "ffprobe", ffprobe);
        return folder;
    }
    // Starts a task in such a folder; null unless yt-dlp has ended and ffprobe runs in time.
    std::shared_ptr<XTask> startUntilProbing(const QString &folder)
    {
        const auto task = newTask(m_site.url("late.mp4"));
        if (m_registry.start(task) != DownloadRegistry::StartAnswer::Started) return nullptr;
        QElapsedTimer timer;
        timer.start();
        while (processesMentioning(folder + "/ffprobe").isEmpty() && timer.elapsed() < 10000)
            QTest::qWait(20);
        if (processesMentioning(folder + "/ffprobe").isEmpty()) return nullptr;
        return processesMentioning(folder + "/yt-dlp").isEmpty() ? task : nullptr;
    }
    std::shared_ptr<XTask> newTask(const QString &url)
    {
        auto task = store().creatTaskURL(url, QStringLiteral("None"), QString());
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
    std::optional<RunEnd> endOf(const std::shared_ptr<XTask> &task, int timeoutMs = 60000)
    {
        QElapsedTimer timer;
        timer.start();
        while (endsOf(task).isEmpty() && timer.elapsed() < timeoutMs)
            QTest::qWait(20);
        const QList<RunEnd> ends = endsOf(task);
        if (ends.isEmpty()) return std::nullopt;
        return ends.last();
    }
    static QList<std::shared_ptr<XFile>> files(const std::shared_ptr<XTask> &task)
    {
        return store().filesForTask(task);
    }
    static int linesOf(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }

private slots:
    void initTestCase();
    void endSaysWhy_data();
    void endSaysWhy();
    void secondStartOfARunningTaskStartsNothing();
    void pauseAfterYtdlpEndedLetsTheTaskComplete();
    void pauseAfterCompletionBeganKeepsItCompleted();
    void removalWaitsForTheRunAndTakesItsFiles();
    void stopAllBoundsARecordingThatHangs();
    void twoDownloadsNeverWriteOneFile();
};

void TestDownloadRegistry::initTestCase()
{
    TestEnvironment::isolateHome();
    QVERIFY(m_site.start());
    QVERIFY(store().isOpen());
    connect(&m_registry, &DownloadRegistry::downloadEnded, this,
            [this](std::shared_ptr<XTask> task, const RunEnd &end) {
                m_ends.append({task, end});
            });
}

void TestDownloadRegistry::endSaysWhy_data()
{
    QTest::addColumn<QString>("ytdlp"); // a fake's body, "real" or "none"
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("claimedElsewhere");
    QTest::addColumn<RunOutcome>("outcome");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<qint64>("status");

    QTest::newRow("completed") << "real"
                               << "a.mp4" << false << RunOutcome::Completed << ""
                               << qint64(XTask::StatusCompleted);
    QTest::newRow("failed, with yt-dlp's reason")
        << "real"
        << "nothing-here.mp4" << false << RunOutcome::Failed << "HTTP Error 404"
        << qint64(XTask::StatusFailed);
    // What yt-dlp writes when the server goes away mid-download.
    QTest::newRow("failed, the reason after a carriage return")
        << "printf 'ERROR: \\r\\n[download] Got error: Connection reset by peer\\n' >&2\nexit 1\n"
        << "a.mp4" << false << RunOutcome::Failed
        << "[download] Got error: Connection reset by peer" << qint64(XTask::StatusFailed);
    QTest::newRow("not set up") << "none"
                                << "a.mp4" << false << RunOutcome::NotSetUp << ""
                                << qint64(XTask::StatusCreated);
    QTest::newRow("refused") << "real"
                             << "a.mp4" << true << RunOutcome::Refused
                             << "another process is downloading the task"
                             << qint64(XTask::StatusCreated);
}

void TestDownloadRegistry::endSaysWhy()
{
    QFETCH(QString, ytdlp);
    QFETCH(QString, path);
    QFETCH(bool, claimedElsewhere);
    QFETCH(RunOutcome, outcome);
    QFETCH(QString, reason);
    QFETCH(qint64, status);
    if (ytdlp == QLatin1String("real"))
        useFolder(QTest::currentDataTag());
    else
        useFolder(QTest::currentDataTag(), "yt-dlp", ytdlp == QLatin1String("none") ? "" : ytdlp);
    const auto task = newTask(m_site.url(path));
    const auto claim = claimedElsewhere ? store().claimTask(*task) : nullptr;
    const DownloadRegistry::StartAnswer answer = m_registry.start(task);
    QCOMPARE(answer, claimedElsewhere ? DownloadRegistry::StartAnswer::Refused
                                      : DownloadRegistry::StartAnswer::Started);
    const auto end = endOf(task);
    QVERIFY(end);
    QCOMPARE(end->outcome, outcome);
    if (outcome == RunOutcome::Failed)
        QVERIFY2(end->reason.contains(reason), qPrintable(end->reason));
    else
        QCOMPARE(end->reason, reason);
    QCOMPARE(endsOf(task).size(), 1);
    QCOMPARE(task->currentStatus(), status);
    if (outcome == RunOutcome::Failed) QCOMPARE(task->failed_reason(), end->reason);
    QVERIFY(!store().hasChanges());
}

void TestDownloadRegistry::secondStartOfARunningTaskStartsNothing()
{
    const QString starts = QDir::temp().filePath("registry-starts");
    QFile::remove(starts);
    useFolder("double start", "yt-dlp",
              QStringLiteral("echo started >> '%1'\nsleep 1\necho 'ERROR: gave up' >&2\nexit 1\n")
                  .arg(starts));
    const auto task = newTask(m_site.url("a.mp4"));
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::Started);
    QTest::qWait(300);
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::AlreadyRunning);
    const auto end = endOf(task);
    QVERIFY(end);
    QCOMPARE(end->outcome, RunOutcome::Failed);
    QCOMPARE(end->reason, QStringLiteral("gave up"));
    QTest::qWait(1500); // a restart would have run yt-dlp again by now
    QCOMPARE(linesOf(starts), 1);
    QCOMPARE(endsOf(task).size(), 1);
    QVERIFY(!m_registry.isRunning(*task));
}

void TestDownloadRegistry::pauseAfterYtdlpEndedLetsTheTaskComplete()
{
    // The probing of the file (part of recording it) is slow.
    const QString folder = useQuickFolder("late pause", "sleep 1\nexec /usr/bin/ffprobe \"$@\"\n");
    const auto task = startUntilProbing(folder);
    QVERIFY(task);
    QCOMPARE(m_registry.pause(task), DownloadRegistry::PauseAnswer::Completing);
    // A start now is no restart either.
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::AlreadyRunning);
    const auto end = endOf(task);
    QVERIFY(end);
    QCOMPARE(end->outcome, RunOutcome::Completed);
    QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
    QCOMPARE(files(task).size(), 1);
    QCOMPARE(m_registry.pause(task), DownloadRegistry::PauseAnswer::NotRunning);
    QCOMPARE(task->currentStatus(), XTask::StatusCompleted);
}

void TestDownloadRegistry::pauseAfterCompletionBeganKeepsItCompleted()
{
    useQuickFolder("pause while completing");
    const auto task = newTask(m_site.url("late.mp4"));
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::Started);
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

void TestDownloadRegistry::removalWaitsForTheRunAndTakesItsFiles()
{
    const QString folder = useFolder("removed");
    // Caught after the video piece has finished, while the audio is still coming.
    const auto task = newTask(m_site.url("dash/slowaudio.mpd"));
    task->setTryBestVideo(true);
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::Started);
    QTRY_VERIFY2_WITH_TIMEOUT(!QDir(folder).entryList({"*.mp4"}, QDir::Files).isEmpty() &&
                                  !QDir(folder).entryList({"*.m4a.part"}, QDir::Files).isEmpty(),
                              qPrintable(QDir(folder).entryList().join(" | ")), 20000);
    QCOMPARE(m_registry.removeWhenEnded(task), DownloadRegistry::RemoveAnswer::RemovedWhenEnded);
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::Refused);
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

void TestDownloadRegistry::stopAllBoundsARecordingThatHangs()
{
    const QString folder = useQuickFolder("hung probe", "sleep 600\n");
    const auto task = startUntilProbing(folder);
    QVERIFY(task);
    QElapsedTimer timer;
    timer.start();
    m_registry.stopAll(500);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(!m_registry.isRunning(*task));
    QTRY_VERIFY(processesMentioning(folder).isEmpty());
    QVERIFY(!store().isClaimed(*task));
    QVERIFY(!store().hasChanges());
}

void TestDownloadRegistry::twoDownloadsNeverWriteOneFile()
{
    // Two pages whose URLs differ only in a query give yt-dlp one file name.
    const QString folder = useFolder("one destination");
    // Slow enough that the first still writes when the second (a sanitizer slows its start)
    // reaches the file.
    const auto first = newTask(m_site.url("slow/10000/a.mp4"));
    const auto second = newTask(m_site.url("slow/10000/a.mp4") + "?again");
    QCOMPARE(m_registry.start(first), DownloadRegistry::StartAnswer::Started);
    const QString part = folder + "/a [a].mp4.part";
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(part).size() > 0, 20000);
    QCOMPARE(m_registry.start(second), DownloadRegistry::StartAnswer::Started);
    const auto refused = endOf(second);
    QVERIFY(refused);
    QCOMPARE(refused->outcome, RunOutcome::Failed);
    QCOMPARE(
        refused->reason,
        QStringLiteral("Another download is writing %1/a [a].mp4; this one stops.").arg(folder));
    QVERIFY(files(second).isEmpty());
    QVERIFY(m_registry.isRunning(*first));

    const auto completed = endOf(first);
    QVERIFY(completed);
    QCOMPARE(completed->outcome, RunOutcome::Completed);
    QFile written(folder + "/a [a].mp4");
    QFile original(m_site.siteFile("a.mp4"));
    QVERIFY(written.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll() == original.readAll());
}

QTEST_GUILESS_MAIN(TestDownloadRegistry)
#include "tst_download_registry.moc"
