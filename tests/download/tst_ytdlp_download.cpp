// Whole downloads with the real yt-dlp against the local server.
#include "download/NSYtdlpTask.h"
#include "support/DownloadFixture.h"
#include "support/DownloadRun.h"
#include "support/LogCapture.h"
#include "support/RecordingDelegate.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

class TestYtdlpDownload : public QObject
{
    Q_OBJECT

private:
    DownloadFixture m_site;

    static bool reached(const RecordingDelegate &delegate, float progress)
    {
        for (const auto &report : delegate.progressReports()) {
            if (report.progress >= progress) return true;
        }
        return false;
    }

private slots:
    void initTestCase();
    void directFile();
    void pageDescriptionLandsBesideTheMedia();
    void playlistOfTwo();
    void playlistWithMissingFirstKeepsTheSecond();
    void dashMergeInFolderWithQuotes();
    void notFound();
    void stopEndsTheGroupAndTheNextRunResumes();
};

void TestYtdlpDownload::initTestCase()
{
    QVERIFY(m_site.start());
}

void TestYtdlpDownload::directFile()
{
    const QString folder = m_site.makeWorkingFolder("direct");
    RecordingDelegate delegate;
    auto task = m_site.makeTask(folder, &delegate);
    const QStringList files = downloadNow(*task, m_site.url("a.mp4"));
    QCOMPARE(files, QStringList{folder + "/a [a].mp4"});
    QVERIFY(reached(delegate, 1.0f));
    QVERIFY(delegate.reasons().isEmpty());
    QVERIFY(!delegate.calledOnThread(QThread::currentThread()));
    QCOMPARE(QFileInfo(files.first()).size(), QFileInfo(m_site.siteFile("a.mp4")).size());
}

void TestYtdlpDownload::pageDescriptionLandsBesideTheMedia()
{
    const QString folder = m_site.makeWorkingFolder("described");
    RecordingDelegate delegate;
    auto task = m_site.makeTask(folder, &delegate);
    const QStringList files = downloadNow(*task, m_site.url("ld.html"));
    QCOMPARE(files, QStringList{folder + "/LD Clip [ld].mp4"});
    QFile description(folder + "/LD Clip [ld].description");
    QVERIFY(description.open(QIODevice::ReadOnly));
    QCOMPARE(description.readAll(), QByteArray("First line of the description\nsecond line"));
}

void TestYtdlpDownload::playlistOfTwo()
{
    const QString folder = m_site.makeWorkingFolder("playlist");
    RecordingDelegate delegate;
    auto task = m_site.makeTask(folder, &delegate);
    const QStringList files = downloadNow(*task, m_site.url("two.html"));
    QCOMPARE(files, (QStringList{folder + "/Two videos (1) [two-1].mp4",
                                 folder + "/Two videos (2) [two-2].mp4"}));
    QCOMPARE(task->numberOfCurrent(), 2);
    QCOMPARE(task->numberOfTotal(), 2);
    QVERIFY(delegate.reasons().isEmpty());
}

void TestYtdlpDownload::playlistWithMissingFirstKeepsTheSecond()
{
    const QString folder = m_site.makeWorkingFolder("missing first");
    RecordingDelegate delegate;
    auto task = m_site.makeTask(folder, &delegate);
    const QStringList files = downloadNow(*task, m_site.url("missing.html"));
    QCOMPARE(delegate.reasons(),
             QStringList{"unable to download video data: HTTP Error 404: Not Found"});
    QCOMPARE(files, QStringList{folder + "/Missing first (2) [missing-2].mp4"});
}

void TestYtdlpDownload::dashMergeInFolderWithQuotes()
{
    const QString folder = m_site.makeWorkingFolder("Clips \"best\" it's");
    RecordingDelegate delegate;
    auto task = m_site.makeTask(folder, &delegate);
    task->setTryBestVideo(true);
    LogCapture log;
    const QStringList files = downloadNow(*task, m_site.url("dash/manifest.mpd"));
    QCOMPARE(files, QStringList{folder + "/manifest [manifest].mp4"});
    QVERIFY(QFileInfo(files.first()).size() > 0);
    QCOMPARE(QDir(folder).entryList({"*.mp4", "*.m4a"}), QStringList{"manifest [manifest].mp4"});
    QVERIFY(delegate.reasons().isEmpty());
}

void TestYtdlpDownload::notFound()
{
    const QString folder = m_site.makeWorkingFolder("404");
    RecordingDelegate delegate;
    auto task = m_site.makeTask(folder, &delegate);
    QVERIFY(downloadNow(*task, m_site.url("nothing-here.mp4")).isEmpty());
    QCOMPARE(delegate.reasons().size(), 1);
    QVERIFY(delegate.reasons().first().contains("HTTP Error 404"));
}

void TestYtdlpDownload::stopEndsTheGroupAndTheNextRunResumes()
{
    const QString folder = m_site.makeWorkingFolder("stopped");
    RecordingDelegate delegate;
    auto task = m_site.makeTask(folder, &delegate);
    // About 300 KB a second: the 3 MB file takes ten seconds.
    const QString slowUrl = m_site.url("slow/300000/large.mp4");
    {
        DownloadRun run(*task, slowUrl);
        QTRY_VERIFY_WITH_TIMEOUT(reached(delegate, 0.02f), 20000);
        QVERIFY(!processesMentioning(folder).isEmpty());
        QElapsedTimer stopping;
        stopping.start();
        QVERIFY(task->stop().isEmpty());
        QVERIFY(run.wait(2000));
        QVERIFY(stopping.elapsed() < 2000);
        QVERIFY(run.files().isEmpty());
    }
    QVERIFY(processesMentioning(folder).isEmpty());
    QVERIFY(delegate.reasons().isEmpty());
    const QString part = folder + "/large [large].mp4.part";
    const qint64 partSize = QFileInfo(part).size();
    QVERIFY(partSize > 0 && partSize < DownloadFixture::largeFileBytes);

    // The next run of the same task picks the piece up where it stopped.
    LogCapture log;
    const QStringList files = downloadNow(*task, m_site.url("large.mp4"));
    QCOMPARE(files, QStringList{folder + "/large [large].mp4"});
    QCOMPARE(QFileInfo(files.first()).size(), DownloadFixture::largeFileBytes);
    QVERIFY(log.containsPart("Resuming download at byte"));
}

QTEST_GUILESS_MAIN(TestYtdlpDownload)
#include "tst_ytdlp_download.moc"
