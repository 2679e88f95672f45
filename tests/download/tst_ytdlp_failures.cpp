// How a run ends when yt-dlp misbehaves: crashes, floods, signals, missing pieces.
#include "download/NSYtdlpTask.h"
#include "support/DownloadRun.h"
#include "support/FakeExecutable.h"
#include "support/LogCapture.h"
#include "support/RecordingDelegate.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestYtdlpFailures : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    int m_folders = 0;

    // A working folder whose yt-dlp runs body (%1 stands for the folder); none when empty.
    QString folderWith(const QString &body)
    {
        const QString folder = m_root.filePath(QString::number(++m_folders));
        QDir().mkpath(folder);
        if (!body.isEmpty())
            FakeExecutable::write(folder + "/yt-dlp", QString(body).replace("%1", folder));
        return folder;
    }
    static std::unique_ptr<NSYtdlpTask> taskFor(const QString &folder, RecordingDelegate *delegate)
    {
        auto task =
            std::make_unique<NSYtdlpTask>(TestEnvironment::resourceFile("ytdlp.sh"), delegate);
        task->setWorkingURL(QUrl::fromLocalFile(folder));
        return task;
    }

private slots:
    void runEnds_data();
    void runEnds();
    void errorsOnBothStreamsAreReportedOncePerPass();
    void stopIsNoFailure();
    void noWorkingFolder();
};

void TestYtdlpFailures::runEnds_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QStringList>("files"); // names in the working folder
    QTest::addColumn<QStringList>("reasons");

    const QString finished = QStringLiteral("touch '%1/done.mp4'\n"
                                            "echo '[download] Destination: %1/done.mp4'\n");
    QTest::newRow("python traceback")
        << "echo '[generic] Extracting URL: x'\n"
           "echo 'Traceback (most recent call last):' >&2\n"
           "echo '  File \"/usr/bin/yt-dlp\", line 8, in <module>' >&2\n"
           "echo 'FileNotFoundError: could not find chrome cookies database in \"/h\"' >&2\n"
           "echo 'WARNING: trailing warning' >&2\nexit 1\n"
        << QStringList{}
        << QStringList{"FileNotFoundError: could not find chrome cookies database in \"/h\""};
    QTest::newRow("silent exit status")
        << "exit 3\n"
        << QStringList{} << QStringList{"yt-dlp exited with status 3"};
    QTest::newRow("killed by a signal")
        << "kill -KILL $$\n"
        << QStringList{} << QStringList{"yt-dlp was killed by signal 9"};
    QTest::newRow("only warnings") << "echo 'WARNING: a' >&2\nexit 2\n"
                                   << QStringList{} << QStringList{"yt-dlp exited with status 2"};
    QTest::newRow("non-zero exit with a finished file") << finished + "exit 1\n"
                                                        << QStringList{"done.mp4"} << QStringList{};
    QTest::newRow("1 MB on standard error does not stall")
        << "head -c 1048576 /dev/zero | tr '\\0' w | fold -w 100 >&2\n" + finished
        << QStringList{"done.mp4"} << QStringList{};
    QTest::newRow("no yt-dlp in the folder")
        << QString() << QStringList{}
        << QStringList{"yt-dlp is not installed in the working folder %1"};
}

void TestYtdlpFailures::runEnds()
{
    QFETCH(QString, body);
    QFETCH(QStringList, files);
    QFETCH(QStringList, reasons);
    const QString folder = folderWith(body);
    RecordingDelegate delegate;
    LogCapture log; // the flood's ten thousand discarded lines
    const QStringList returned = downloadNow(*taskFor(folder, &delegate), "http://127.0.0.1:1/v");
    for (QString &name : files)
        name = folder + "/" + name;
    for (QString &reason : reasons)
        reason.replace("%1", folder);
    QCOMPARE(returned, files);
    QCOMPARE(delegate.reasons(), reasons);
}

void TestYtdlpFailures::errorsOnBothStreamsAreReportedOncePerPass()
{
    // The monitor sees the first error and reads no further until the end; the file named
    // after it is still found in the final pass, and standard error has its own pass. The
    // fake writes both errors at once and then waits for the test's go-ahead, so the first
    // read holds the two errors and nothing else.
    const QString folder = folderWith("printf 'ERROR: early\\nERROR: twice\\n'\n"
                                      "while [ ! -e '%1/go' ]; do sleep 0.05; done\n"
                                      "touch '%1/late.mp4'\n"
                                      "echo '[download] Destination: %1/late.mp4'\n"
                                      "echo 'ERROR: on stderr' >&2\n");
    RecordingDelegate delegate;
    auto task = taskFor(folder, &delegate);
    DownloadRun download(*task, QStringLiteral("http://127.0.0.1:1/v"));
    QTRY_COMPARE_WITH_TIMEOUT(delegate.reasons(), QStringList{"early"}, 10000);
    QFile go(folder + "/go");
    QVERIFY(go.open(QIODevice::WriteOnly));
    QVERIFY(download.wait(10000));
    QCOMPARE(download.files(), QStringList{folder + "/late.mp4"});
    QCOMPARE(delegate.reasons(), (QStringList{"early", "on stderr"}));
}

void TestYtdlpFailures::stopIsNoFailure()
{
    const QString folder = folderWith("echo '[download]  1.0% of 1.00MiB at 1.00KiB/s ETA 09:00'\n"
                                      "exec sleep 30\n");
    RecordingDelegate delegate;
    auto task = taskFor(folder, &delegate);
    DownloadRun download(*task, QStringLiteral("http://127.0.0.1:1/v"));
    QTRY_VERIFY_WITH_TIMEOUT(!delegate.progressReports().isEmpty(), 10000);
    task->stop();
    QVERIFY(download.wait(2000));
    QVERIFY(delegate.reasons().isEmpty());
    QVERIFY(processesMentioning(folder).isEmpty());
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
