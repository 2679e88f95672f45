// Whole downloads through the task record and the registry, with the real yt-dlp, ffmpeg and
// ffprobe against the local server.
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
#include <QImage>
#include <QtTest>

class TestTaskDownload : public QObject
{
    Q_OBJECT

private:
    DownloadFixture m_site;
    DownloadRegistry m_registry;
    QList<std::pair<XTask *, bool>> m_ended;

    static XCoreDataManagement &store() { return XCoreDataManagement::shared(); }

    QString useFolder(const QString &name)
    {
        const QString folder = m_site.makeToolFolder(name);
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
        return folder;
    }
    std::shared_ptr<XTask> newTask(const QString &url, bool best = false)
    {
        auto task = store().creatTaskURL(url, QStringLiteral("None"), QStringLiteral("note"));
        task->setTryBestVideo(best);
        task->setMustMP4Format(false);
        store().save();
        return task;
    }
    // Runs the task through the registry to its end; the completion flag it reported.
    bool endedCompleted(const std::shared_ptr<XTask> &task)
    {
        // The last report: a record freed earlier may have had the same address.
        for (auto it = m_ended.crbegin(); it != m_ended.crend(); ++it) {
            if (it->first == task.get()) return it->second;
        }
        return false;
    }
    bool runToEnd(const std::shared_ptr<XTask> &task)
    {
        if (m_registry.start(task) != DownloadRegistry::StartAnswer::Started) return false;
        return waitForEnd(task);
    }
    bool waitForEnd(const std::shared_ptr<XTask> &task)
    {
        QElapsedTimer timer;
        timer.start();
        while (m_registry.isRunning(*task) && timer.elapsed() < 60000)
            QTest::qWait(20);
        return !m_registry.isRunning(*task);
    }
    static QList<std::shared_ptr<XFile>> files(const std::shared_ptr<XTask> &task)
    {
        return store().filesForTask(task);
    }
    // yt-dlp runs of the folder at this moment; a child yt-dlp forks (to run ffprobe) is
    // part of its parent's run.
    static int ytdlpRuns(const QString &folder)
    {
        const QList<qint64> found = processesMentioning(folder + "/yt-dlp");
        int runs = 0;
        for (qint64 pid : found) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            const QList<QByteArray> fields =
                stat.open(QIODevice::ReadOnly) ? stat.readAll().split(' ') : QList<QByteArray>();
            if (!found.contains(fields.value(3).toLongLong())) ++runs;
        }
        return runs;
    }
    static QStringList finishedMp4s(const QString &folder)
    {
        return QDir(folder).entryList({"*.mp4"}, QDir::Files);
    }

private slots:
    void initTestCase();
    void directFileCompletesWithItsDetails();
    void dashMergeAfterAPauseLeavesOneRecord();
    void playlistGivesTwoRecords();
    void failuresKeepTheReasonAndWhatFinished();
    void pauseThenSecondStartCompletes();
    void resumeRightAfterPauseWaitsForTheFirstRun();
    void progressAfterAnErrorDownloadsAgain();
    void noWorkingFolderGoesBackToCreated();
    void stopAllKillsWhatDoesNotStop();
};

void TestTaskDownload::initTestCase()
{
    TestEnvironment::isolateHome();
    QVERIFY(m_site.start());
    QVERIFY(store().isOpen());
    connect(&m_registry, &DownloadRegistry::downloadEnded, this,
            [this](std::shared_ptr<XTask> task, const RunEnd &end) {
                m_ended.append({task.get(), end.outcome == RunOutcome::Completed});
            });
}

void TestTaskDownload::directFileCompletesWithItsDetails()
{
    const QString folder = useFolder("direct");
    const auto task = newTask(m_site.url("a.mp4"));
    QVERIFY(runToEnd(task));
    QVERIFY(endedCompleted(task));
    QCOMPARE(task->currentStatus(), 2);
    QVERIFY(task->completedDate().isValid());
    QCOMPARE(task->progress(), 1.0f);
    const auto recorded = files(task);
    QCOMPARE(recorded.size(), 1);
    const auto file = recorded.first();
    QCOMPARE(file->localFile(), folder + "/a [a].mp4");
    QCOMPARE(file->name(), QStringLiteral("a [a]"));
    QCOMPARE(file->width(), std::optional<qint64>(320));
    QCOMPARE(file->height(), std::optional<qint64>(240));
    QCOMPARE(file->videoEncodeName(), QStringLiteral("h264"));
    QVERIFY(qAbs(file->duration().value_or(0) - 2.0f) < 0.1f);
    const QImage thumbnail = QImage::fromData(file->thumbnail(), "JPEG");
    QVERIFY(!thumbnail.isNull());
    QVERIFY(qMax(thumbnail.width(), thumbnail.height()) <= 1000);
    QVERIFY(!task->thumbnail().isEmpty());
    QCOMPARE(file->videoDescription(), QStringLiteral("320 x 240    h264  00:00:02"));
    // Saved: a fresh look at the database sees the completion.
    QVERIFY(!store().hasChanges());
}

void TestTaskDownload::dashMergeAfterAPauseLeavesOneRecord()
{
    // Paused while the audio comes: the finished video piece is recorded; the resume merges
    // and deletes it, and its record goes with it. (A merge in one run: tst_ytdlp_download.)
    const QString folder = useFolder("dash");
    const auto task = newTask(m_site.url("dash/slowaudio.mpd"), true);
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::Started);
    QTRY_VERIFY_WITH_TIMEOUT(finishedMp4s(folder).size() == 1, 20000);
    QVERIFY(m_registry.isRunning(*task));
    m_registry.pause(task);
    QVERIFY(waitForEnd(task));
    QCOMPARE(task->currentStatus(), 0);
    QVERIFY2(files(task).size() == 1, qPrintable(QDir(folder).entryList().join(" | ")));
    const QString piece = files(task).first()->localFile();
    QVERIFY2(piece.endsWith(".mp4") && piece != folder + "/slowaudio [slowaudio].mp4",
             qPrintable(piece));

    QVERIFY(runToEnd(task));
    QCOMPARE(task->currentStatus(), 2);
    const auto recorded = files(task);
    QCOMPARE(recorded.size(), 1);
    QCOMPARE(recorded.first()->localFile(), folder + "/slowaudio [slowaudio].mp4");
    QVERIFY(QFileInfo::exists(recorded.first()->localFile()));
    QVERIFY(!QFileInfo::exists(piece));
    QCOMPARE(recorded.first()->videoEncodeName(), QStringLiteral("h264"));
}

void TestTaskDownload::playlistGivesTwoRecords()
{
    const QString folder = useFolder("playlist");
    const auto task = newTask(m_site.url("two.html"));
    QVERIFY(runToEnd(task));
    QCOMPARE(task->currentStatus(), 2);
    QStringList paths;
    for (const auto &file : files(task))
        paths << file->localFile();
    QCOMPARE(paths, (QStringList{folder + "/Two videos (1) [two-1].mp4",
                                 folder + "/Two videos (2) [two-2].mp4"}));
    QCOMPARE(task->worker()->numberOfTotal(), 2);
}

void TestTaskDownload::failuresKeepTheReasonAndWhatFinished()
{
    const QString folder = useFolder("failures");
    const auto missingFirst = newTask(m_site.url("missing.html"));
    QVERIFY(runToEnd(missingFirst));
    QVERIFY(!endedCompleted(missingFirst));
    QCOMPARE(missingFirst->currentStatus(), 3);
    QCOMPARE(missingFirst->failed_reason(),
             QStringLiteral("unable to download video data: HTTP Error 404: Not Found"));
    QCOMPARE(files(missingFirst).size(), 1);
    QCOMPARE(files(missingFirst).first()->localFile(),
             folder + "/Missing first (2) [missing-2].mp4");
    QVERIFY(!missingFirst->completedDate().isValid());

    const auto notFound = newTask(m_site.url("nothing-here.mp4"));
    QVERIFY(runToEnd(notFound));
    QCOMPARE(notFound->currentStatus(), 3);
    QVERIFY(notFound->failed_reason().contains("HTTP Error 404"));
    QVERIFY(files(notFound).isEmpty());
}

void TestTaskDownload::pauseThenSecondStartCompletes()
{
    const QString folder = useFolder("paused");
    const auto task = newTask(m_site.url("slow/60000/a.mp4"));
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::Started);
    QTRY_VERIFY_WITH_TIMEOUT(task->progress() > 0.0f, 20000);
    m_registry.pause(task);
    QCOMPARE(task->currentStatus(), 0);
    QVERIFY(waitForEnd(task));
    QVERIFY(!endedCompleted(task));
    QCOMPARE(task->currentStatus(), 0);
    QVERIFY(!task->completedDate().isValid());
    QVERIFY(task->failed_reason().isNull()); // "Interrupted by user" does not count
    QVERIFY(files(task).isEmpty());
    QVERIFY(processesMentioning(folder).isEmpty());

    QVERIFY(runToEnd(task));
    QCOMPARE(task->currentStatus(), 2);
    const auto recorded = files(task);
    QCOMPARE(recorded.size(), 1);
    QVERIFY(QFileInfo::exists(recorded.first()->localFile()));
    QCOMPARE(recorded.first()->width(), std::optional<qint64>(320));
    QCOMPARE(recorded.first()->videoEncodeName(), QStringLiteral("h264"));
}

void TestTaskDownload::resumeRightAfterPauseWaitsForTheFirstRun()
{
    const QString folder = useFolder("resumed at once");
    const auto task = newTask(m_site.url("slow/60000/a.mp4"));
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::Started);
    QTRY_VERIFY_WITH_TIMEOUT(task->progress() > 0.0f, 20000);
    const std::shared_ptr<NSYtdlpTask> firstRunner = task->worker();
    m_registry.pause(task);
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::Queued);
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
    QCOMPARE(task->currentStatus(), 2);
    QCOMPARE(files(task).size(), 1);
}

void TestTaskDownload::progressAfterAnErrorDownloadsAgain()
{
    // The real yt-dlp writes its errors on standard error at the end; this one does not.
    const QString folder = useFolder("error then progress");
    QFile::remove(folder + "/yt-dlp");
    FakeExecutable::write(folder + "/yt-dlp",
                          "echo 'ERROR: first try failed'\nsleep 1\n"
                          "echo '[download]  50.0% of 1.00MiB at 1.00KiB/s ETA 00:01'\n");
    const auto task = newTask(m_site.url("a.mp4"));
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::Started);
    QTRY_COMPARE_WITH_TIMEOUT(task->currentStatus(), 3, 5000);
    QCOMPARE(task->failed_reason(), QStringLiteral("first try failed"));
    // The progress line is read after the error, once yt-dlp has ended; it makes the task
    // downloading again, so the run completes.
    QVERIFY(waitForEnd(task));
    QCOMPARE(task->progress(), 0.5f);
    QVERIFY(endedCompleted(task));
    QCOMPARE(task->currentStatus(), 2);
    QCOMPARE(task->failed_reason(), QStringLiteral("first try failed"));
}

void TestTaskDownload::noWorkingFolderGoesBackToCreated()
{
    const QString folder = useFolder("no yt-dlp");
    QFile::remove(folder + "/yt-dlp");
    const auto task = newTask(m_site.url("a.mp4"));
    QVERIFY(runToEnd(task));
    QVERIFY(!endedCompleted(task));
    QCOMPARE(task->currentStatus(), 0);
    QVERIFY(task->failed_reason().isNull());
    QVERIFY(!task->hasChanges());
}

void TestTaskDownload::stopAllKillsWhatDoesNotStop()
{
    const QString folder = useFolder("deaf");
    QFile::remove(folder + "/yt-dlp");
    FakeExecutable::write(
        folder + "/yt-dlp",
        "trap '' TERM\necho '[download]  1.0% of 1.00MiB at 1.00KiB/s ETA 09:00'\n"
        "while :; do sleep 0.1; done\n");
    const auto task = newTask(m_site.url("deaf.mp4"));
    QCOMPARE(m_registry.start(task), DownloadRegistry::StartAnswer::Started);
    QTRY_COMPARE_WITH_TIMEOUT(task->progress(), 0.01f, 5000);
    QElapsedTimer timer;
    timer.start();
    m_registry.stopAll(500);
    QVERIFY(timer.elapsed() < 3000);
    QVERIFY(!m_registry.isRunning(*task));
    QTRY_VERIFY(processesMentioning(folder).isEmpty());
    QCOMPARE(task->currentStatus(), 0);
    QVERIFY(!store().hasChanges());
    QVERIFY(!store().isClaimed(*task));
}

QTEST_GUILESS_MAIN(TestTaskDownload)
#include "tst_task_download.moc"
