// zelvo-cli as a person runs it: its exit statuses, output and Ctrl-C.
#include "support/DownloadFixture.h"
#include "support/DownloadRun.h"
#include "support/FakeExecutable.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestCli : public QObject
{
    Q_OBJECT

private:
    DownloadFixture m_site;

    struct Result {
        int status;
        QString out;
        QString err;
    };

    static QString binary() { return QCoreApplication::applicationDirPath() + "/zelvo-cli"; }
    static Result cli(const QStringList &arguments)
    {
        QProcess process;
        process.start(binary(), arguments);
        process.waitForFinished(60000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    // Waits until the download in folder has written part of its file.
    static bool partWritten(const QString &part)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 20000) {
            if (QFileInfo(part).size() > 0) return true;
            QThread::msleep(50);
        }
        return false;
    }

private slots:
    void initTestCase();
    void usage_data();
    void usage();
    void downloadListsTheFile();
    void failedDownloadSaysWhy();
    void ctrlCStopsCleanly();
    void secondCtrlCEndsAtOnce();
};

void TestCli::initTestCase()
{
    QVERIFY(m_site.start());
}

void TestCli::usage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");

    QTest::newRow("help") << QStringList{"--help"} << 0 << "download URL --folder DIR";
    QTest::newRow("download help") << QStringList{"download", "--help"} << 0 << "Exit status:";
    QTest::newRow("unknown command") << QStringList{"fly"} << 2 << "unknown command 'fly'";
    QTest::newRow("no URL") << QStringList{"download", "--folder", "/tmp"} << 2
                            << "exactly one page URL";
    QTest::newRow("no folder") << QStringList{"download", "http://x/"} << 2
                               << "--folder is required";
    QTest::newRow("unknown browser")
        << QStringList{"download", "http://x/", "--folder", "/tmp", "--browser", "Lynx"} << 2
        << "unknown browser 'Lynx'";
    QTest::newRow("missing folder")
        << QStringList{"download", "http://x/", "--folder", "/nonexistent/zelvo"} << 1
        << "is not a folder";
}

void TestCli::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, text);
    const Result result = cli(arguments);
    QCOMPARE(result.status, status);
    QVERIFY2((result.out + result.err).contains(text), qPrintable(result.out + result.err));
}

void TestCli::downloadListsTheFile()
{
    const QString folder = m_site.makeWorkingFolder("cli direct");
    const Result result =
        cli({"download", m_site.url("a.mp4"), "--folder", folder, "--browser", "None"});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.out, folder + "/a [a].mp4\n");
}

void TestCli::failedDownloadSaysWhy()
{
    const QString folder = m_site.makeWorkingFolder("cli 404");
    const Result result = cli({"download", m_site.url("none.mp4"), "--folder", folder});
    QCOMPARE(result.status, 1);
    QVERIFY(result.err.contains("Download failed: "));
    QVERIFY(result.err.contains("HTTP Error 404"));
    QVERIFY(result.out.isEmpty());
}

void TestCli::ctrlCStopsCleanly()
{
    const QString folder = m_site.makeWorkingFolder("cli stopped");
    QProcess process;
    const auto cleanup = qScopeGuard([&] {
        process.kill();
        process.waitForFinished();
    });
    process.start(binary(), {"download", m_site.url("slow/200000/large.mp4"), "--folder", folder});
    QVERIFY(partWritten(folder + "/large [large].mp4.part"));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 130);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(processesMentioning(folder).isEmpty());
    QVERIFY(QFileInfo::exists(folder + "/large [large].mp4.part"));
}

void TestCli::secondCtrlCEndsAtOnce()
{
    // A yt-dlp that ignores the polite stop.
    QTemporaryDir folder;
    FakeExecutable::write(
        folder.filePath("yt-dlp"),
        "trap '' TERM\necho '[download]  1.0% of 1.00MiB at 1.00KiB/s ETA 09:00'\n"
        "while :; do sleep 0.1; done\n");
    QProcess process;
    const auto cleanup = qScopeGuard([&] {
        process.kill();
        process.waitForFinished();
        for (qint64 pid : processesMentioning(folder.path()))
            ::kill(static_cast<pid_t>(pid), SIGKILL);
    });
    process.setReadChannel(QProcess::StandardError); // progress is shown there
    process.start(binary(), {"download", "http://127.0.0.1:1/v", "--folder", folder.path()});
    QVERIFY(process.waitForReadyRead(10000));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    QThread::msleep(300);
    QCOMPARE(process.state(), QProcess::Running);
    QElapsedTimer timer;
    timer.start();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(2000));
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(process.exitCode(), 130);
    QTRY_VERIFY(processesMentioning(folder.path()).isEmpty());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
