// What a run reads when yt-dlp stops: a stop reason that is never empty, and output that costs
// time in proportion to its length however it is cut into reads.
#include "download/LineAssembler.h"
#include "download/NSYtdlpTask.h"
#include "support/LogCapture.h"

#include <QElapsedTimer>
#include <QtTest>

class TestYtdlpStops : public QObject
{
    Q_OBJECT

private slots:
    void stopReasonIsNeverEmpty_data();
    void stopReasonIsNeverEmpty();
    void longLineFedByteByByteTakesLinearTime();
};

void TestYtdlpStops::stopReasonIsNeverEmpty_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");

    QTest::newRow("the reason on the error line") << "[download] 1.0%\nERROR: unable to download\n"
                                                  << "unable to download";
    // What yt-dlp writes when the server goes away mid-download.
    QTest::newRow("the reason after a carriage return")
        << "ERROR: \r[download] Got error: Connection reset by peer\n"
        << "[download] Got error: Connection reset by peer";
    QTest::newRow("blank lines before the reason")
        << "ERROR:    \r\n\r\n   timed out  \n[info] later\n"
        << "timed out";
    QTest::newRow("no reason anywhere") << "ERROR: \r\n \n"
                                        << "yt-dlp reported an error without a message";
}

void TestYtdlpStops::stopReasonIsNeverEmpty()
{
    QFETCH(QString, text);
    QFETCH(QString, reason);
    LogCapture log;
    const NSYtdlpTask task(QStringLiteral("ytdlp.sh"), nullptr);
    QString found;
    QVERIFY(!task.availableLogs(text, &found).has_value());
    QCOMPARE(found, reason);
}

void TestYtdlpStops::longLineFedByteByByteTakesLinearTime()
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
    QVERIFY(joined.endsWith(QLatin1Char('\n')));
    // Copying or searching the held-back text at every read takes minutes here (ThreadSanitizer
    // slows each read some tenfold, not the order of growth).
#ifdef __SANITIZE_THREAD__
    constexpr qint64 limitMs = 10000;
#else
    constexpr qint64 limitMs = 1000;
#endif
    QVERIFY2(elapsed < limitMs, qPrintable(QStringLiteral("%1 ms").arg(elapsed)));
}

QTEST_GUILESS_MAIN(TestYtdlpStops)
#include "tst_ytdlp_stops.moc"
