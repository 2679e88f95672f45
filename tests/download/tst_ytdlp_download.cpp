// Whole downloads with the real yt-dlp against the local server.
#include "download/NSYtdlpTask.h"
#include "support/DownloadFixture.h"
#include "support/DownloadRun.h"
#include "support/FuzzSeeds.h"
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

    DownloadFixture m_site;

    static bool reached(const RecordingDelegate &delegate, float progress)
    {
        for (const auto &report : delegate.progressReports()) {
            if (report.progress >= progress) return true;
        }
        return false;
    }

private slots:
    void initTestCase() { QVERIFY(m_site.start()); }

    // A merge leaves only the finished media: its inputs are gone, nothing is half-written.
    void dashMergeIntoAFolderWithQuotes()
    {
        const QString folder = m_site.makeWorkingFolder("Clips \"best\" it's");
        RecordingDelegate delegate;
        auto task = m_site.makeTask(folder, &delegate);
        task->setTryBestVideo(true);
        LogCapture log;
        const QString merged = folder + "/manifest [manifest].mp4";
        QCOMPARE(downloadNow(*task, m_site.url("dash/manifest.mpd")), QStringList{merged});
        QCOMPARE(QDir(folder).entryList({"*.mp4", "*.m4a", "*.part"}),
                 QStringList{QFileInfo(merged).fileName()});
        QVERIFY(QFileInfo(merged).size() > 0);
        QVERIFY(delegate.reasons().isEmpty());
        QVERIFY(reached(delegate, 1.0f));
    }

    void pageDescriptionLandsBesideTheMedia()
    {
        const QString folder = m_site.makeWorkingFolder("described again");
        auto task = m_site.makeTask(folder, nullptr);
        QCOMPARE(downloadNow(*task, m_site.url("ld.html")),
                 QStringList{folder + "/LD Clip [ld].mp4"});
        QFile description(folder + "/LD Clip [ld].description");
        QVERIFY(description.open(QIODevice::ReadOnly));
        QCOMPARE(description.readAll(), QByteArray("First line of the description\nsecond line"));
        FuzzSeeds::recordFile(description.fileName(), QStringLiteral("description"));
        QCOMPARE(QFileInfo(folder + "/LD Clip [ld].mp4").size(),
                 QFileInfo(m_site.siteFile("a.mp4")).size());
    }

    void stopEndsTheGroupAndTheNextRunResumes()
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
};

QTEST_GUILESS_MAIN(TestYtdlpDownload)
#include "tst_ytdlp_download.moc"
