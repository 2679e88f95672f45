// The grammar of yt-dlp's output: which lines count, what they say, and how reads join.
#include "download/LineAssembler.h"
#include "download/NSYtdlpTask.h"
#include "support/FileContents.h"
#include "support/LogCapture.h"
#include "support/RecordingDelegate.h"
#include "support/TestRows.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

class TestYtdlpLog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;
    RecordingDelegate m_delegate;

    QString path(const QString &name) const { return m_folder.filePath(name); }
    std::unique_ptr<NSYtdlpTask> task(bool withDelegate = true)
    {
        m_delegate.clear();
        return std::make_unique<NSYtdlpTask>("ytdlp.sh", withDelegate ? &m_delegate : nullptr);
    }

private slots:
    // kept: the lines analysed further; reason: the stop reason, null when the text holds no
    // error.
    void filterRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("kept");
        QTest::addColumn<QString>("reason");
        addRow("progress, merger and deletion lines are kept; carriage returns end lines",
               "[download] 1.0%\r[download] 2.0%\r\n[Merger] Merging formats into \"/a\"\n"
               "WARNING: slow\n[youtube] id\n\nDeleting original file /b\n",
               QStringList{"[download] 1.0%", "[download] 2.0%",
                           "[Merger] Merging formats into \"/a\"", "Deleting original file /b"},
               QString());
        // An error stops the text: nothing is kept, whatever came before.
        addRow("the reason on the error line", "[download] 1.0%\nERROR: unable to download\n",
               QStringList{}, "unable to download");
        // What yt-dlp writes when the server goes away mid-download.
        addRow("the reason after a carriage return",
               "ERROR: \r[download] Got error: Connection reset by peer\n", QStringList{},
               "[download] Got error: Connection reset by peer");
        addRow("no reason anywhere", "ERROR:    \r\n \n", QStringList{},
               "yt-dlp reported an error without a message");
    }

    void filterRules()
    {
        QFETCH(QString, text);
        QFETCH(QString, reason);
        LogCapture log; // every discarded line
        QString found;
        const auto result = task(false)->availableLogs(text, &found);
        QCOMPARE(found, reason);
        QCOMPARE(found.isNull(), result.has_value());
        if (result) QTEST(*result, "kept");
    }

    // A pass stops at its first error: earlier files are dropped, one reason reported. Once the
    // monitor has ended, what follows waits for the final pass.
    void errorsStopThePass()
    {
        QVERIFY(FileContents::write(path("early.mp4"), {}));
        QVERIFY(FileContents::write(path("after.mp4"), {}));
        auto run = task();
        QVERIFY(run->readingPass(QStringLiteral("[download] Destination: %1\n[info] x\n"
                                                "ERROR: boom here\n[download] Destination: %1\n")
                                     .arg(path("early.mp4"))));
        QVERIFY(run->existingCompletedFiles().isEmpty());
        QCOMPARE(m_delegate.reasons(), QStringList{"boom here"});
        run = task();
        run->consumeOutput("ERROR: first\nERROR: second\n");
        QCOMPARE(m_delegate.reasons(), QStringList{"first"});
        run->consumeOutput(
            QStringLiteral("[download] Destination: %1\n").arg(path("after.mp4")).toUtf8());
        QVERIFY(run->existingCompletedFiles().isEmpty());
        QVERIFY(!run->finishOutput({}));
        QCOMPARE(run->existingCompletedFiles(), QStringList{path("after.mp4")});
        QCOMPARE(m_delegate.reasons().size(), 1);
        // Without a delegate the reason is dropped and the pass says it did not stop.
        QVERIFY(!task(false)->readingPass(QStringLiteral("ERROR: nobody hears\n")));
    }

    void progressLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<float>("progress");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("speed");
        const auto row = [](const char *name, const QString &line, float progress, qint64 size,
                            qint64 speed) { addRow(name, line, progress, size, speed); };
        row("running", "[download]  45.3% of ~ 10.00MiB at  1.00MiB/s ETA 00:05", 0.453f, 10485760,
            1048576);
        row("finished", "[download] 100% of 10.00MiB in 00:00:09 at 1.10MiB/s", 1.0f, -1, 0);
        row("KiB size and speed", "[download]  10.0% of 512.00KiB at 100.50KiB/s ETA 00:04", 0.1f,
            524288, 102912);
        row("GiB size", "[download]   1.0% of 2.50GiB at 3.00MiB/s ETA 14:00", 0.01f, 2684354560,
            3145728);
        row("real yt-dlp line, unknown speed",
            "[download]   0.8% of  129.40KiB at  Unknown B/s ETA Unknown", 0.008f, 132505, 0);
        row("no total: a size is not a percentage",
            "[download]  127.00KiB at  421.17KiB/s (00:00:00)", 0.0f, 130048, 0);
        row("percentages held within 0..1 (high)", "[download] 150.0% of 1.00MiB at", 1.0f, 1048576,
            0);
        row("percentages held within 0..1 (negative)", "[download] -5.0% of 1.00MiB at", 0.0f,
            1048576, 0);
        row("sizes beyond 64 bits saturate",
            QString("[download] 1.0% of 9%1.0GiB at").arg(QString(40, '9')), 0.01f,
            std::numeric_limits<qint64>::max(), 0);
        row("percent overflow", QString("[download] 9%1.0%").arg(QString(60, '9')), 1.0f, 0, 0);
    }

    void progressLine()
    {
        QFETCH(QString, line);
        float progress = 0;
        qint64 size = 0;
        qint64 speed = 0;
        task(false)->readLog(line, &progress, &size, &speed);
        QTEST(progress, "progress");
        QTEST(size, "size");
        QTEST(speed, "speed");
    }

    // Files count once they exist as files: yt-dlp names a destination before writing it. A
    // piece named by a deletion line is remembered even when this run never listed it (a piece
    // that an earlier, paused run finished).
    void completedFiles()
    {
        const QString merged = path("Clips \"best\"/m.mp4");
        const QString piece = path("Clips \"best\"/m.f1.mp4");
        const QString earlier = path("Clips \"best\"/m.f2.m4a");
        auto run = task(false);
        for (const QString &line :
             {"[download] Destination: " + path("d.mp4") + "\r\n  ",
              "[DOWNLOAD] destination: " + path("d.mp4"), QString("[download] Destination:    "),
              "[download] " + path("a b.mp4") + " has already been downloaded",
              QString("[download] relative.mp4 has already been downloaded"),
              "[download] Destination: " + path("X.mp4"),
              "[download] Destination: " + path("folder.mp4"), "[download] Destination: " + piece,
              "[download] Destination: " + piece, "[Merger] Merging formats into \"" + merged + '"',
              QString("[Merger] Merging formats into \"\"\""), // adds nothing
              "Deleting original file " + piece + " (pass -k to keep)",
              "Deleting original file \"" + earlier + "\" (pass -k to keep)"})
            run->analysisLog(line);
        for (const QString &file :
             {path("d.mp4"), path("a b.mp4"), path("X.mp4.part"), merged, piece})
            QVERIFY(FileContents::write(file, {}));
        QVERIFY(QDir().mkpath(path("folder.mp4")));
        const QStringList completed = {path("d.mp4"), path("d.mp4"), path("a b.mp4"), merged};
        QCOMPARE(run->existingCompletedFiles(), completed);
        QCOMPARE(run->stop(), completed);
        QCOMPARE(run->deletedFiles(), (QStringList{piece, earlier}));
    }

    void lineAssemblerJoinsPiecesCutAnywhere()
    {
        const QByteArray text =
            QStringLiteral("[download] Destination: /片/é.mp4\r\n[info] ok\rtail").toUtf8();
        for (qsizetype cut = 0; cut <= text.size(); ++cut) {
            LineAssembler lines;
            QString joined = lines.feed(QByteArrayView(text).first(cut));
            QVERIFY2(joined.isEmpty() || joined.endsWith('\n') || joined.endsWith('\r'),
                     qPrintable(QString::number(cut)));
            joined += lines.feed(QByteArrayView(text).sliced(cut));
            QCOMPARE(joined + lines.finish(), QString::fromUtf8(text));
        }
        LineAssembler invalid;
        const QString kept = invalid.feed("ERROR: bad \xff byte\n[info] next\n");
        QVERIFY(kept.contains(QStringLiteral("ERROR: bad ")));
        QVERIFY(kept.contains(QStringLiteral("[info] next\n")));
    }

    // Progress and playlist position from output fed a byte at a time; the last line, without
    // its line break, is read in the final pass.
    void outputFedByteByByteReportsAsWhole()
    {
        const QByteArray output = "[download]  45.3% of ~ 10.00MiB at  1.00MiB/s ETA 00:05\n"
                                  "[download] Downloading item 3 of 12\n"
                                  "[download]  99.0% of 2.00KiB at 1.00KiB/s ETA 00:00";
        auto run = task();
        LogCapture log;
        for (char byte : output)
            run->consumeOutput(QByteArrayView(&byte, 1));
        run->finishOutput({});
        const QList<RecordingDelegate::Progress> expected = {
            {0.453f, 10485760, 1048576}, {0, 0, 0}, {0.99f, 2048, 1024}};
        const auto reports = m_delegate.progressReports();
        QCOMPARE(reports.size(), expected.size());
        for (qsizetype i = 0; i < reports.size(); ++i) {
            QCOMPARE(reports[i].progress, expected[i].progress);
            QCOMPARE(reports[i].size, expected[i].size);
            QCOMPARE(reports[i].speed, expected[i].speed);
        }
        QCOMPARE(run->numberOfCurrent(), 3);
        QCOMPARE(run->numberOfTotal(), 12);
    }

    void longLineFedByteByByteTakesLinearTime()
    {
        const QByteArray line = QByteArray(1'000'000, 'a') + '\n';
        LineAssembler lines;
        QString joined;
        QElapsedTimer timer;
        timer.start();
        for (const char byte : line)
            joined += lines.feed(QByteArrayView(&byte, 1));
        const qint64 elapsed = timer.elapsed();
        QCOMPARE(joined.size(), line.size());
        QVERIFY(joined.endsWith('\n'));
        // Copying or searching the held-back text at every read takes minutes here
        // (ThreadSanitizer slows each read some tenfold, not the order of growth).
#ifdef __SANITIZE_THREAD__
        constexpr qint64 limitMs = 10000;
#else
        constexpr qint64 limitMs = 1000;
#endif
        QVERIFY2(elapsed < limitMs, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
    }
};

QTEST_GUILESS_MAIN(TestYtdlpLog)
#include "tst_ytdlp_log.moc"
