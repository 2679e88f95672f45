// How a run ends when yt-dlp misbehaves: crashes, floods, signals, missing pieces.
#include "download/NSYtdlpTask.h"
#include "support/DownloadRun.h"
#include "support/FakeExecutable.h"
#include "support/LogCapture.h"
#include "support/RecordingDelegate.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestYtdlpFailures : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    int m_folders = 0;

    // A working folder whose yt-dlp runs body.
    QString folderWith(const QString &body)
    {
        const QString folder = m_root.filePath(QString::number(++m_folders));
        QDir().mkpath(folder);
        FakeExecutable::write(folder + "/yt-dlp", body);
        return folder;
    }
    static QStringList run(const QString &folder, RecordingDelegate *delegate)
    {
        NSYtdlpTask task(TestEnvironment::resourceFile("ytdlp.sh"), delegate);
        task.setWorkingURL(QUrl::fromLocalFile(folder));
        return downloadNow(task, QStringLiteral("http://127.0.0.1:1/v"));
    }

private slots:
    void failureWithoutErrorLine_data();
    void failureWithoutErrorLine();
    void nonZeroExitWithAFinishedFileIsNoFailure();
    void errorsOnBothStreamsAreReportedOncePerPass();
    void floodOfErrorOutputDoesNotStall();
    void stopIsNoFailure();
    void missingYtdlp();
    void noWorkingFolder();
};

void TestYtdlpFailures::failureWithoutErrorLine_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("reason");

    QTest::newRow("python traceback")
        << "echo '[generic] Extracting URL: x'\n"
           "echo 'Traceback (most recent call last):' >&2\n"
           "echo '  File \"/usr/bin/yt-dlp\", line 8, in <module>' >&2\n"
           "echo 'FileNotFoundError: could not find chrome cookies database in \"/h/.config\"' "
           ">&2\n"
           "echo 'WARNING: trailing warning' >&2\nexit 1\n"
        << "FileNotFoundError: could not find chrome cookies database in \"/h/.config\"";
    QTest::newRow("silent exit status") << "exit 3\n"
                                        << "yt-dlp exited with status 3";
    QTest::newRow("killed by a signal") << "kill -KILL $$\n"
                                        << "yt-dlp was killed by signal 9";
    QTest::newRow("only warnings") << "echo 'WARNING: a' >&2\nexit 2\n"
                                   << "yt-dlp exited with status 2";
}

void TestYtdlpFailures::failureWithoutErrorLine()
{
    QFETCH(QString, body);
    QFETCH(QString, reason);
    RecordingDelegate delegate;
    QVERIFY(run(folderWith(body), &delegate).isEmpty());
    QCOMPARE(delegate.reasons(), QStringList{reason});
}

void TestYtdlpFailures::nonZeroExitWithAFinishedFileIsNoFailure()
{
    const QString folder = m_root.filePath("kept");
    QDir().mkpath(folder);
    FakeExecutable::write(folder + "/yt-dlp",
                          QStringLiteral("touch '%1/done.mp4'\n"
                                         "echo '[download] Destination: %1/done.mp4'\n"
                                         "exit 1\n")
                              .arg(folder));
    RecordingDelegate delegate;
    QCOMPARE(run(folder, &delegate), QStringList{folder + "/done.mp4"});
    QVERIFY(delegate.reasons().isEmpty());
}

void TestYtdlpFailures::errorsOnBothStreamsAreReportedOncePerPass()
{
    const QString folder = m_root.filePath("both");
    QDir().mkpath(folder);
    // The monitor sees the first error and reads no further until the end; the file named
    // after it is still found in the final pass, and standard error has its own pass. The
    // fake writes both errors at once and then waits for the test's go-ahead, so the first
    // read holds the two errors and nothing else.
    FakeExecutable::write(folder + "/yt-dlp",
                          QStringLiteral("printf 'ERROR: early\\nERROR: twice\\n'\n"
                                         "while [ ! -e '%1/go' ]; do sleep 0.05; done\n"
                                         "touch '%1/late.mp4'\n"
                                         "echo '[download] Destination: %1/late.mp4'\n"
                                         "echo 'ERROR: on stderr' >&2\n")
                              .arg(folder));
    RecordingDelegate delegate;
    NSYtdlpTask task(TestEnvironment::resourceFile("ytdlp.sh"), &delegate);
    task.setWorkingURL(QUrl::fromLocalFile(folder));
    DownloadRun download(task, QStringLiteral("http://127.0.0.1:1/v"));
    QTRY_COMPARE_WITH_TIMEOUT(delegate.reasons(), QStringList{"early"}, 10000);
    QFile go(folder + "/go");
    QVERIFY(go.open(QIODevice::WriteOnly));
    QVERIFY(download.wait(10000));
    QCOMPARE(download.files(), QStringList{folder + "/late.mp4"});
    QCOMPARE(delegate.reasons(), (QStringList{"early", "on stderr"}));
}

void TestYtdlpFailures::floodOfErrorOutputDoesNotStall()
{
    const QString folder = m_root.filePath("flood");
    QDir().mkpath(folder);
    FakeExecutable::write(
        folder + "/yt-dlp",
        QStringLiteral("head -c 1048576 /dev/zero | tr '\\0' 'w' | fold -w 100 >&2\n"
                       "touch '%1/after.mp4'\n"
                       "echo '[download] Destination: %1/after.mp4'\n")
            .arg(folder));
    RecordingDelegate delegate;
    LogCapture log; // ten thousand discarded lines
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(run(folder, &delegate), QStringList{folder + "/after.mp4"});
    QVERIFY(timer.elapsed() < 20000);
    QVERIFY(delegate.reasons().isEmpty());
}

void TestYtdlpFailures::stopIsNoFailure()
{
    const QString folder = folderWith("echo '[download]  1.0% of 1.00MiB at 1.00KiB/s ETA 09:00'\n"
                                      "exec sleep 30\n");
    RecordingDelegate delegate;
    NSYtdlpTask task(TestEnvironment::resourceFile("ytdlp.sh"), &delegate);
    task.setWorkingURL(QUrl::fromLocalFile(folder));
    DownloadRun download(task, QStringLiteral("http://127.0.0.1:1/v"));
    QTRY_VERIFY_WITH_TIMEOUT(!delegate.progressReports().isEmpty(), 10000);
    task.stop();
    QVERIFY(download.wait(2000));
    QVERIFY(delegate.reasons().isEmpty());
    QVERIFY(processesMentioning(folder).isEmpty());
}

void TestYtdlpFailures::missingYtdlp()
{
    const QString folder = m_root.filePath("empty");
    QDir().mkpath(folder);
    RecordingDelegate delegate;
    QVERIFY(run(folder, &delegate).isEmpty());
    QCOMPARE(delegate.reasons(),
             QStringList{"yt-dlp is not installed in the working folder " + folder});
}

void TestYtdlpFailures::noWorkingFolder()
{
    RecordingDelegate delegate;
    NSYtdlpTask task(TestEnvironment::resourceFile("ytdlp.sh"), &delegate);
    LogCapture log;
    QVERIFY(task.downloadURL(QStringLiteral("http://127.0.0.1:1/v")).isEmpty());
    QCOMPARE(log.lines(), QStringList{"Working Path is nil."});
    QVERIFY(delegate.reasons().isEmpty());
}

QTEST_GUILESS_MAIN(TestYtdlpFailures)
#include "tst_ytdlp_failures.moc"
