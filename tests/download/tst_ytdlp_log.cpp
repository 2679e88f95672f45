// The grammar of yt-dlp's output: which lines count and what they say.
#include "download/LineAssembler.h"
#include "download/NSYtdlpTask.h"
#include "support/LogCapture.h"
#include "support/RecordingDelegate.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestYtdlpLog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;

    QString path(const QString &name) const { return m_folder.filePath(name); }
    void touch(const QString &name) const
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    static void analyse(NSYtdlpTask &task, const QString &text)
    {
        QString reason;
        const auto kept = task.availableLogs(text, &reason);
        QVERIFY(kept.has_value());
        for (const QString &line : *kept)
            task.analysisLog(line);
    }

private slots:
    void workedExampleLeavesOnlyTheMergedFile();
    void filterRules_data();
    void filterRules();
    void errorStopsTheTextAndDropsEarlierLines();
    void progressLine_data();
    void progressLine();
    void playlistPosition();
    void destinationAndAlreadyDownloaded();
    void mergeAndDeletionKeepQuotesInsidePaths();
    void onlyExistingFilesAreReturned();
    void stopReasonOncePerPassAndRestReadAtTheEnd();
    void stopReasonWithoutDelegateIsDropped();
    void lineAssemblerJoinsPiecesCutAnywhere();
    void lineAssemblerKeepsLinesWithInvalidBytes();
    void outputFedByteByByteReportsAsWhole();
    void invalidPatternMatchesNothing();
};

void TestYtdlpLog::workedExampleLeavesOnlyTheMergedFile()
{
    for (const char *name : {"Clip [abc].f137.mp4", "Clip [abc].f140.m4a", "Clip [abc].mp4"})
        touch(QString::fromLatin1(name));
    RecordingDelegate delegate;
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), &delegate);
    LogCapture log;
    const QString w = m_folder.path();
    analyse(task,
            QStringLiteral("[extractor] abc: Downloading webpage\n"
                           "[info] abc: Downloading 1 format(s): 137+140\n"
                           "[download] Destination: %1/Clip [abc].f137.mp4\n"
                           "[download]  45.3%% of ~ 10.00MiB at  1.00MiB/s ETA 00:05\n"
                           "[download] 100%% of 10.00MiB in 00:00:09 at 1.10MiB/s\n"
                           "[download] Destination: %1/Clip [abc].f140.m4a\n"
                           "[Merger] Merging formats into \"%1/Clip [abc].mp4\"\n"
                           "Deleting original file %1/Clip [abc].f137.mp4 (pass -k to keep)\n"
                           "Deleting original file %1/Clip [abc].f140.m4a (pass -k to keep)\n")
                .replace(QStringLiteral("%%"), QStringLiteral("%"))
                .arg(w));
    QCOMPARE(task.existingCompletedFiles(), QStringList{w + "/Clip [abc].mp4"});
    const auto reports = delegate.progressReports();
    QCOMPARE(reports.size(), 2);
    QCOMPARE(reports[0].progress, 0.453f);
    QCOMPARE(reports[0].size, 10485760.0f);
    QCOMPARE(reports[0].speed, 1048576.0f);
    QVERIFY(log.contains(QStringLiteral("丢弃：[extractor] abc: Downloading webpage")));
    QVERIFY(log.contains(QStringLiteral("[info] [info] abc: Downloading 1 format(s): 137+140")));
}

void TestYtdlpLog::filterRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QStringList>("logged");

    QTest::newRow("script banner and blank lines") << "sh start.\n\n\n[info] a\n"
                                                   << QStringList{"[info] a"} << QStringList{};
    QTest::newRow("carriage returns end lines")
        << "[download] 1.0%\r[download] 2.0%\r\n"
        << QStringList{"[download] 1.0%", "[download] 2.0%"} << QStringList{};
    QTest::newRow("generic lines are logged apart")
        << "[generic] x: Extracting\n"
        << QStringList{} << QStringList{"[generic] :[generic] x: Extracting"};
    QTest::newRow("merger and deletion pass")
        << "[Merger] Merging formats into \"/a\"\nDeleting original file /b\n"
        << QStringList{"[Merger] Merging formats into \"/a\"", "Deleting original file /b"}
        << QStringList{};
    QTest::newRow("anything else is discarded")
        << "WARNING: slow\n[youtube] id\n"
        << QStringList{} << QStringList{"丢弃：WARNING: slow", "丢弃：[youtube] id"};
    QTest::newRow("lower-case tags are not tags")
        << "[Download] x\n"
        << QStringList{} << QStringList{"丢弃：[Download] x"};
}

void TestYtdlpLog::filterRules()
{
    QFETCH(QString, text);
    QFETCH(QStringList, kept);
    QFETCH(QStringList, logged);
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), nullptr);
    LogCapture log;
    QString reason;
    const auto result = task.availableLogs(text, &reason);
    QVERIFY(result.has_value());
    QCOMPARE(*result, kept);
    QVERIFY(reason.isNull());
    QCOMPARE(log.lines(), logged);
}

void TestYtdlpLog::errorStopsTheTextAndDropsEarlierLines()
{
    touch(QStringLiteral("early.mp4"));
    RecordingDelegate delegate;
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), &delegate);
    const QString text = QStringLiteral("[download] Destination: %1\n[info] x\nERROR: boom here\n"
                                        "[download] Destination: %1\n")
                             .arg(path("early.mp4"));
    QString reason;
    QVERIFY(!task.availableLogs(text, &reason).has_value());
    QCOMPARE(reason, QStringLiteral("boom here"));
    QVERIFY(task.readingPass(text));
    QVERIFY(task.existingCompletedFiles().isEmpty());
    QCOMPARE(delegate.reasons(), QStringList{"boom here"});

    // Further into the line, the first seven characters go whatever they are.
    QVERIFY(!task.availableLogs(QStringLiteral("abcdefgh ERROR: late"), &reason).has_value());
    QCOMPARE(reason, QStringLiteral("h ERROR: late"));
}

void TestYtdlpLog::progressLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<float>("progress");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("speed");

    QTest::newRow("running") << "[download]  45.3% of ~ 10.00MiB at  1.00MiB/s ETA 00:05" << 0.453f
                             << qint64(10485760) << qint64(1048576);
    QTest::newRow("finished") << "[download] 100% of 10.00MiB in 00:00:09 at 1.10MiB/s" << 1.0f
                              << qint64(-1) << qint64(0);
    QTest::newRow("KiB size and speed") << "[download]  10.0% of 512.00KiB at 100.50KiB/s ETA 00:04"
                                        << 0.1f << qint64(524288) << qint64(102912);
    QTest::newRow("GiB size") << "[download]   1.0% of 2.50GiB at 3.00MiB/s ETA 14:00" << 0.01f
                              << qint64(2684354560) << qint64(3145728);
    QTest::newRow("real yt-dlp line, unknown speed")
        << "[download]   0.8% of  129.40KiB at  Unknown B/s ETA Unknown" << 0.008f << qint64(132505)
        << qint64(0);
    QTest::newRow("speed in bytes counts as none")
        << "[download]  50.0% of 1.00KiB at 512.00B/s ETA 00:01" << 0.5f << qint64(1024)
        << qint64(0);
    QTest::newRow("no total: a size is not a percentage")
        << "[download]  127.00KiB at  421.17KiB/s (00:00:00)" << 0.0f << qint64(130048)
        << qint64(0);
    QTest::newRow("a number in a title is not progress")
        << "[download] Downloading playlist: Top 2.5" << 0.0f << qint64(0) << qint64(0);
    QTest::newRow("percentages held within 0..1 (high)")
        << "[download] 150.0% of 1.00MiB at" << 1.0f << qint64(1048576) << qint64(0);
    QTest::newRow("percentages held within 0..1 (negative)")
        << "[download] -5.0% of 1.00MiB at" << 0.0f << qint64(1048576) << qint64(0);
    QTest::newRow("sizes beyond 64 bits saturate")
        << QString("[download] 1.0% of 9%1.0GiB at").arg(QString(40, QLatin1Char('9'))) << 0.01f
        << std::numeric_limits<qint64>::max() << qint64(0);
    QTest::newRow("percent overflow")
        << QString("[download] 9%1.0%").arg(QString(60, QLatin1Char('9'))) << 1.0f << qint64(0)
        << qint64(0);
}

void TestYtdlpLog::progressLine()
{
    QFETCH(QString, line);
    QFETCH(float, progress);
    QFETCH(qint64, size);
    QFETCH(qint64, speed);
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), nullptr);
    float gotProgress = 0;
    qint64 gotSize = 0;
    qint64 gotSpeed = 0;
    task.readLog(line, &gotProgress, &gotSize, &gotSpeed);
    QCOMPARE(gotProgress, progress);
    QCOMPARE(gotSize, size);
    QCOMPARE(gotSpeed, speed);
}

void TestYtdlpLog::playlistPosition()
{
    RecordingDelegate delegate;
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), &delegate);
    QCOMPARE(task.numberOfCurrent(), 1);
    QCOMPARE(task.numberOfTotal(), 1);
    LogCapture log;
    analyse(task, QStringLiteral("[download] Downloading item 3 of 12\n"
                                 "[download] Finished downloading playlist: x\n"));
    QCOMPARE(task.numberOfCurrent(), 3);
    QCOMPARE(task.numberOfTotal(), 12);
    const auto reports = delegate.progressReports();
    QCOMPARE(reports.size(), 2);
    QCOMPARE(reports[0].progress, 0.0f);
    QCOMPARE(reports[0].size, 0.0f);
    QVERIFY(log.contains(QStringLiteral("Debug TOTO")));
    QVERIFY(log.contains(
        QStringLiteral("其他未处理的情况:[download] Finished downloading playlist: x")));
}

void TestYtdlpLog::destinationAndAlreadyDownloaded()
{
    touch(QStringLiteral("d.mp4"));
    touch(QStringLiteral("a b.mp4"));
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), nullptr);
    task.analysisLog(QStringLiteral("[download] Destination: %1\r\n  ").arg(path("d.mp4")));
    task.analysisLog(QStringLiteral("[DOWNLOAD] destination: %1").arg(path("d.mp4")));
    task.analysisLog(QStringLiteral("[download] Destination:    "));
    task.analysisLog(
        QStringLiteral("[download] %1 has already been downloaded").arg(path("a b.mp4")));
    task.analysisLog(QStringLiteral("[download] relative.mp4 has already been downloaded"));
    QCOMPARE(task.existingCompletedFiles(),
             (QStringList{path("d.mp4"), path("d.mp4"), path("a b.mp4")}));
}

void TestYtdlpLog::mergeAndDeletionKeepQuotesInsidePaths()
{
    QDir(m_folder.path()).mkpath(QStringLiteral("Clips \"best\""));
    touch(QStringLiteral("Clips \"best\"/m.mp4"));
    touch(QStringLiteral("Clips \"best\"/m.f1.mp4"));
    const QString merged = path("Clips \"best\"/m.mp4");
    const QString piece = path("Clips \"best\"/m.f1.mp4");
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), nullptr);
    task.analysisLog(QStringLiteral("[download] Destination: ") + piece);
    task.analysisLog(QStringLiteral("[download] Destination: ") + piece);
    task.analysisLog(QStringLiteral("[Merger] Merging formats into \"%1\"").arg(merged));
    // Only quotes after the phrase: nothing is added.
    task.analysisLog(QStringLiteral("[Merger] Merging formats into \"\"\""));
    task.analysisLog(QStringLiteral("Deleting original file %1 (pass -k to keep)").arg(piece));
    QCOMPARE(task.existingCompletedFiles(), QStringList{merged});
    // A piece named by a deletion line is remembered even when this run never listed it (a
    // piece that an earlier, paused run finished).
    const QString earlier = path("Clips \"best\"/m.f2.m4a");
    task.analysisLog(
        QStringLiteral("Deleting original file \"%1\" (pass -k to keep)").arg(earlier));
    QCOMPARE(task.deletedFiles(), (QStringList{piece, earlier}));
}

void TestYtdlpLog::onlyExistingFilesAreReturned()
{
    touch(QStringLiteral("X.mp4.part"));
    QDir(m_folder.path()).mkpath(QStringLiteral("folder.mp4"));
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), nullptr);
    task.analysisLog(QStringLiteral("[download] Destination: ") + path("X.mp4"));
    task.analysisLog(QStringLiteral("[download] Destination: ") + path("folder.mp4"));
    QVERIFY(task.existingCompletedFiles().isEmpty());
    QVERIFY(task.stop().isEmpty());
    touch(QStringLiteral("X.mp4"));
    QCOMPARE(task.stop(), QStringList{path("X.mp4")});
}

void TestYtdlpLog::stopReasonOncePerPassAndRestReadAtTheEnd()
{
    touch(QStringLiteral("after.mp4"));
    RecordingDelegate delegate;
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), &delegate);
    task.consumeOutput("ERROR: first\nERROR: second\n");
    QCOMPARE(delegate.reasons(), QStringList{"first"});
    // The monitor has ended: what follows waits for the final pass.
    task.consumeOutput(
        QStringLiteral("[download] Destination: %1\n").arg(path("after.mp4")).toUtf8());
    QVERIFY(task.existingCompletedFiles().isEmpty());
    QVERIFY(!task.finishOutput({}));
    QCOMPARE(task.existingCompletedFiles(), QStringList{path("after.mp4")});
    QCOMPARE(delegate.reasons().size(), 1);
}

void TestYtdlpLog::stopReasonWithoutDelegateIsDropped()
{
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), nullptr);
    QVERIFY(!task.readingPass(QStringLiteral("ERROR: nobody hears\n")));
}

void TestYtdlpLog::lineAssemblerJoinsPiecesCutAnywhere()
{
    const QByteArray text =
        QStringLiteral("[download] Destination: /片/é.mp4\r\n[info] ok\rtail").toUtf8();
    for (qsizetype cut = 0; cut <= text.size(); ++cut) {
        LineAssembler lines;
        QString joined = lines.feed(QByteArrayView(text).first(cut));
        QVERIFY2(joined.isEmpty() || joined.endsWith(QLatin1Char('\n')) ||
                     joined.endsWith(QLatin1Char('\r')),
                 qPrintable(QString::number(cut)));
        joined += lines.feed(QByteArrayView(text).sliced(cut));
        joined += lines.finish();
        QCOMPARE(joined, QString::fromUtf8(text));
    }
}

void TestYtdlpLog::lineAssemblerKeepsLinesWithInvalidBytes()
{
    LineAssembler lines;
    const QString text = lines.feed("ERROR: bad \xff byte\n[info] next\n");
    QVERIFY(text.contains(QStringLiteral("ERROR: bad ")));
    QVERIFY(text.contains(QStringLiteral("[info] next\n")));
}

void TestYtdlpLog::outputFedByteByByteReportsAsWhole()
{
    const QByteArray output = "[download]  45.3% of ~ 10.00MiB at  1.00MiB/s ETA 00:05\n"
                              "[download] Downloading item 2 of 3\n"
                              "[download]  99.0% of 2.00KiB at 1.00KiB/s ETA 00:00";
    RecordingDelegate delegate;
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), &delegate);
    for (char byte : output)
        task.consumeOutput(QByteArrayView(&byte, 1));
    task.finishOutput({});
    const auto reports = delegate.progressReports();
    QCOMPARE(reports.size(), 3);
    QCOMPARE(reports[0].progress, 0.453f);
    QCOMPARE(reports[0].size, 10485760.0f);
    QCOMPARE(reports[1].progress, 0.0f);
    QCOMPARE(reports[2].progress, 0.99f);
    QCOMPARE(reports[2].size, 2048.0f);
    QCOMPARE(task.numberOfCurrent(), 2);
    QCOMPARE(task.numberOfTotal(), 3);
}

void TestYtdlpLog::invalidPatternMatchesNothing()
{
    QVERIFY(NSYtdlpTask::getPartStringFromLog(QStringLiteral("[download] x"), QStringLiteral("(["))
                .isNull());
    QCOMPARE(NSYtdlpTask::getPartStringFromLog(QStringLiteral("a 12.5MiB at b"),
                                               QStringLiteral("[0-9]+\\.[0-9]+MiB at")),
             QStringLiteral("12.5MiB at"));
}

QTEST_GUILESS_MAIN(TestYtdlpLog)
#include "tst_ytdlp_log.moc"
