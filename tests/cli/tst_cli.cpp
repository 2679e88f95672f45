// zelvo-cli as a person runs it, in a HOME of its own: setup, the download road into the
// history, the history commands, their exit statuses, and Ctrl-C.
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

    // A HOME with its own settings and history; setup installs from the local server, which
    // has no yt-dlp to give, so the system's is linked.
    class Home
    {
    public:
        explicit Home(const DownloadFixture &site) : m_site(site) {}
        QString folder(const QString &name) const { return m_dir.filePath(name); }
        void prepare(QProcess &process) const
        {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert("HOME", m_dir.path());
            environment.insert("XDG_CONFIG_HOME", m_dir.filePath(".config"));
            environment.insert("ZELVO_YTDLP_URL", m_site.url("no-yt-dlp-here"));
            process.setProcessEnvironment(environment);
        }
        // A working folder set up by zelvo-cli, whose tool is then replaced by a fake.
        QString setUpWithFake(const QString &name, const QString &tool, const QString &body) const
        {
            const QString working = folder(name);
            if (run({"setup", working}).status != 0) return {};
            QFile::remove(working + "/" + tool);
            FakeExecutable::write(working + "/" + tool, body);
            return working;
        }
        Result run(const QStringList &arguments) const
        {
            QProcess process;
            prepare(process);
            process.start(binary(), arguments);
            // A command that never ends must fail the check, not read as status 0.
            const bool ended = process.waitForFinished(60000);
            if (!ended) {
                process.kill();
                process.waitForFinished();
            }
            const bool normal = ended && process.exitStatus() == QProcess::NormalExit;
            return {normal ? process.exitCode() : -1,
                    QString::fromUtf8(process.readAllStandardOutput()),
                    QString::fromUtf8(process.readAllStandardError())};
        }

    private:
        const DownloadFixture &m_site;
        QTemporaryDir m_dir;
    };

    static QString binary() { return QCoreApplication::applicationDirPath() + "/zelvo-cli"; }
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
    static void interrupt(const QProcess &process, int signal = SIGINT)
    {
        ::kill(static_cast<pid_t>(process.processId()), signal);
    }

private slots:
    void initTestCase();
    void usage_data();
    void usage();
    void unopenableHistoryIsSaid();
    void closedOutputIsNoCrash();
    void wholeRoadThroughTheHistory();
    void ctrlCPausesAndResumeCompletes();
    void hangUpPausesAndCtrlCThenEndsAtOnce();
    void ctrlCAfterYtdlpEndedLetsTheTaskComplete();
    void failedDownloadSaysWhatArrivedAndIsResumed();
    void failedSaveIsSaid();
    void twoProcessesNeverWriteOneFile();
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

    QTest::newRow("help") << QStringList{"--help"} << 0 << "resume ID";
    QTest::newRow("download help") << QStringList{"download", "--help"} << 0 << "Exit status:";
    QTest::newRow("list help") << QStringList{"list", "-h"} << 0 << "Usage: zelvo-cli list";
    QTest::newRow("unknown command") << QStringList{"fly"} << 2 << "unknown command 'fly'";
    QTest::newRow("no URL") << QStringList{"download"} << 2 << "exactly one page URL";
    QTest::newRow("unknown browser") << QStringList{"download", "http://x/", "--browser", "Lynx"}
                                     << 2 << "unknown browser 'Lynx'";
    QTest::newRow("unknown option") << QStringList{"show", "1", "--all"} << 2 << "--help";
    QTest::newRow("two searches") << QStringList{"list", "a", "b"} << 2 << "at most one";
    QTest::newRow("not set up") << QStringList{"download", "http://127.0.0.1:1/v.mp4"} << 1
                                << "zelvo-cli setup FOLDER";
    QTest::newRow("unknown id") << QStringList{"resume", "41"} << 1 << "no task with the id '41'";
}

void TestCli::usage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, text);
    const Home home(m_site);
    const Result result = home.run(arguments);
    QCOMPARE(result.status, status);
    QVERIFY2((result.out + result.err).contains(text), qPrintable(result.out + result.err));
}

void TestCli::unopenableHistoryIsSaid()
{
    const Home home(m_site);
    QFile documents(home.folder("Documents")); // a file where the history's folder goes
    QVERIFY(documents.open(QIODevice::WriteOnly));
    documents.close();
    for (const QStringList &arguments : {QStringList{"list"}, QStringList{"show", "1"}}) {
        const Result result = home.run(arguments);
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.startsWith("place store error."), qPrintable(result.err));
    }
}

void TestCli::closedOutputIsNoCrash()
{
    // Standard output is a pipe whose reader has gone: writing must neither kill zelvo-cli
    // (SIGPIPE) nor change its exit status.
    QProcess python;
    python.start("python3", {"-c",
                             "import os, subprocess, sys\n"
                             "r, w = os.pipe()\nos.close(r)\n"
                             "sys.exit(subprocess.run(sys.argv[1:], stdout=w).returncode % 256)",
                             binary(), "--help"});
    QVERIFY(python.waitForFinished(20000));
    QCOMPARE(python.exitCode(), 0);
}

void TestCli::wholeRoadThroughTheHistory()
{
    const Home home(m_site);
    const QString folder = home.folder("work folder");
    Result result = home.run({"setup", folder});
    QCOMPARE(result.status, 0);
    QVERIFY2(result.out.contains("yt-dlp ") && result.out.contains("ffmpeg version"),
             qPrintable(result.out + result.err));
    QVERIFY(QFileInfo(folder + "/ffprobe").isExecutable());

    const QString url = m_site.url("a.mp4");
    result = home.run({"download", url, "--note", "first\tclip\nline"});
    QCOMPARE(result.status, 0);
    const QString file = folder + "/a [a].mp4";
    QCOMPARE(result.out, file + "  320 x 240    h264  00:00:02\n");
    QVERIFY(QFileInfo::exists(file));

    result = home.run({"download", url});
    QCOMPARE(result.status, 2);
    QVERIFY(result.err.contains("已经存在: " + url + " 已经下载过了. (task 1)"));
    QCOMPARE(home.run({"download", "ftp://example.org/v"}).status, 2);

    result = home.run({"list"});
    QCOMPARE(result.status, 0);
    QVERIFY2(QRegularExpression("^1  completed  \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d  " +
                                QRegularExpression::escape(url) +
                                "  a \\[a\\]\\.mp4  first clip line\\n$")
                 .match(result.out)
                 .hasMatch(),
             qPrintable(result.out));
    QCOMPARE(home.run({"list", "A ["}).out, result.out);
    QCOMPARE(home.run({"list", "nothing like it"}).out, QString());

    result = home.run({"show", "1"});
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.contains("file           " + file + "\n"));
    QVERIFY(result.out.contains("  details      320 x 240    h264  00:00:02\n"));
    QVERIFY(QRegularExpression("\\n  thumbnail    [1-9]\\d+ bytes").match(result.out).hasMatch());

    QCOMPARE(home.run({"info", file}).out,
             QStringLiteral("320 x 240    h264  00:00:02 25.00 fps\n"));
    result = home.run({"info", folder + "/nothing.mp4"});
    QCOMPARE(result.status, 1);
    QCOMPARE(result.err, QStringLiteral("ffprobe error.\n"));

    result = home.run({"resume", "1"});
    QCOMPARE(result.status, 1);
    QVERIFY(result.err.contains("has completed"));
    QCOMPARE(home.run({"remove", "1"}).status, 0);
    QVERIFY(!QFileInfo::exists(file));
    QCOMPARE(home.run({"show", "1"}).status, 1);
    QCOMPARE(home.run({"list"}).out, QString());

    // The same page again is a new task with a new id.
    result = home.run({"download", url});
    QCOMPARE(result.status, 0);
    QVERIFY(home.run({"list"}).out.startsWith("2  completed"));
}

void TestCli::ctrlCPausesAndResumeCompletes()
{
    const Home home(m_site);
    const QString folder = home.folder("work");
    QCOMPARE(home.run({"setup", folder}).status, 0);
    QProcess process;
    const auto cleanup = qScopeGuard([&] {
        process.kill();
        process.waitForFinished();
    });
    home.prepare(process);
    process.start(binary(), {"download", m_site.url("slow/600000/large.mp4")});
    QVERIFY(partWritten(folder + "/large [large].mp4.part"));
    interrupt(process);
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 130);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains("zelvo-cli resume 1"));
    QVERIFY(processesMentioning(folder).isEmpty());
    QVERIFY(home.run({"list"}).out.startsWith("1  created"));

    const Result resumed = home.run({"resume", "1"});
    QCOMPARE(resumed.status, 0);
    QVERIFY(resumed.out.startsWith(folder + "/large [large].mp4"));
    QVERIFY(home.run({"list"}).out.startsWith("1  completed"));
}

void TestCli::hangUpPausesAndCtrlCThenEndsAtOnce()
{
    const Home home(m_site);
    // A yt-dlp that ignores the polite stop.
    const QString folder = home.setUpWithFake(
        "deaf", "yt-dlp",
        "trap '' TERM\necho '[download]  1.0% of 1.00MiB at 1.00KiB/s ETA 09:00'\n"
        "while :; do sleep 0.1; done\n");
    QVERIFY(!folder.isEmpty());
    QProcess process;
    const auto cleanup = qScopeGuard([&] {
        process.kill();
        process.waitForFinished();
        for (qint64 pid : processesMentioning(folder))
            ::kill(static_cast<pid_t>(pid), SIGKILL);
    });
    home.prepare(process);
    process.setReadChannel(QProcess::StandardError); // progress is shown there
    process.start(binary(), {"download", "http://127.0.0.1:1/v"});
    QByteArray shown;
    QTRY_VERIFY2_WITH_TIMEOUT((shown += process.readAllStandardError()).contains("1.0%"),
                              shown.constData(), 10000);
    interrupt(process, SIGHUP); // a closed terminal pauses like Ctrl-C
    QTRY_VERIFY2_WITH_TIMEOUT((shown += process.readAllStandardError()).contains("Pausing"),
                              shown.constData(), 5000);
    QThread::msleep(300);
    QCOMPARE(process.state(), QProcess::Running);
    QElapsedTimer timer;
    timer.start();
    interrupt(process);
    QVERIFY(process.waitForFinished(2000));
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(process.exitCode(), 130);
    QTRY_VERIFY(processesMentioning(folder).isEmpty());
    QVERIFY(home.run({"list"}).out.startsWith("1  created"));
}

void TestCli::ctrlCAfterYtdlpEndedLetsTheTaskComplete()
{
    const Home home(m_site);
    // yt-dlp finishes at once; the probing of its file (part of the completion) is slow.
    const QString folder = home.folder("late");
    QVERIFY(!home.setUpWithFake("late", "yt-dlp",
                                QStringLiteral("cp '%1' '%2/late.mp4'\n"
                                               "echo '[download] Destination: %2/late.mp4'\n")
                                    .arg(m_site.siteFile("a.mp4"), folder))
                 .isEmpty());
    QFile::remove(folder + "/ffprobe");
    FakeExecutable::write(folder + "/ffprobe", "sleep 2\nexec /usr/bin/ffprobe \"$@\"\n");
    QProcess process;
    const auto cleanup = qScopeGuard([&] {
        process.kill();
        process.waitForFinished();
    });
    home.prepare(process);
    process.start(binary(), {"download", "http://127.0.0.1:1/late.mp4"});
    QTRY_VERIFY_WITH_TIMEOUT(!processesMentioning(folder + "/ffprobe").isEmpty(), 10000);
    QVERIFY(processesMentioning(folder + "/yt-dlp").isEmpty());
    interrupt(process);
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(process.readAllStandardError().contains("yt-dlp has finished"));
    QVERIFY(process.readAllStandardOutput().startsWith((folder + "/late.mp4  320 x 240").toUtf8()));
    QVERIFY(home.run({"list"}).out.startsWith("1  completed"));
}

void TestCli::failedDownloadSaysWhatArrivedAndIsResumed()
{
    const Home home(m_site);
    const QString folder = home.folder("work");
    QCOMPARE(home.run({"setup", folder}).status, 0);
    // The page's first video is missing: the second arrives, and the task fails.
    const QString url = m_site.url("missing.html");
    Result result = home.run({"download", url});
    QCOMPARE(result.status, 1);
    QCOMPARE(result.out,
             folder + "/Missing first (2) [missing-2].mp4  320 x 240    h264  00:00:02\n");
    QVERIFY2(
        result.err.contains("Download failed: unable to download video data: HTTP Error 404") &&
            result.err.endsWith("1 of 2 videos arrived.\n"),
        qPrintable(result.err));
    QVERIFY(home.run({"list"}).out.startsWith("1  failed"));

    result = home.run({"download", url});
    QCOMPARE(result.status, 2);
    QVERIFY2(result.err.contains("failed before (task 1); 'zelvo-cli resume 1' tries it again."),
             qPrintable(result.err));

    // Once the page is whole, the failed task goes on.
    const QString missing = m_site.siteFile("gone.mp4");
    QVERIFY(QFile::copy(m_site.siteFile("a.mp4"), missing));
    const auto restore = qScopeGuard([&] { QFile::remove(missing); });
    result = home.run({"resume", "1"});
    QCOMPARE(result.status, 0);
    QVERIFY2(result.out.contains("Missing first (1) [missing-1].mp4") &&
                 result.out.contains("Missing first (2) [missing-2].mp4"),
             qPrintable(result.out + result.err));
    QVERIFY(home.run({"list"}).out.startsWith("1  completed"));
}

void TestCli::failedSaveIsSaid()
{
    // The history's disk fills up during the download: the history cannot grow (the file size
    // limit stands in for the full disk), while yt-dlp, lifting the limit, still can.
    const Home home(m_site);
    const QString folder = home.setUpWithFake(
        "full", "yt-dlp", "ulimit -S -f unlimited\nexec /usr/bin/yt-dlp \"$@\"\n");
    QVERIFY(!folder.isEmpty());
    QCOMPARE(home.run({"list"}).status, 0); // the history exists before the limit
    QProcess process;
    home.prepare(process);
    process.start("/bin/sh", {"-c", "trap '' XFSZ; ulimit -S -f 72; exec \"$0\" download \"$1\"",
                              binary(), m_site.url("a.mp4")});
    QVERIFY(process.waitForFinished(60000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(err.contains("Task 1: the history could not be saved: "), qPrintable(err));
    QVERIFY(!home.run({"list"}).out.startsWith("1  completed"));
}

void TestCli::twoProcessesNeverWriteOneFile()
{
    const Home home(m_site);
    const QString folder = home.folder("work");
    QCOMPARE(home.run({"setup", folder}).status, 0);
    QProcess first;
    const auto cleanup = qScopeGuard([&] {
        first.kill();
        first.waitForFinished();
    });
    home.prepare(first);
    // Slow enough that the first still writes when the second (a sanitizer slows its start)
    // reaches the file.
    const QString url = m_site.url("slow/10000/a.mp4");
    first.start(binary(), {"download", url});
    QVERIFY(partWritten(folder + "/a [a].mp4.part"));
    // Another page URL, the same file name.
    const Result second = home.run({"download", url + "?again"});
    QVERIFY2(second.status == 1, qPrintable(second.out + second.err));
    QVERIFY2(second.err.contains("Download failed: Another download is writing " + folder +
                                 "/a [a].mp4; this one stops."),
             qPrintable(second.err));
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(first.exitCode(), 0);
    QFile written(folder + "/a [a].mp4");
    QFile original(m_site.siteFile("a.mp4"));
    QVERIFY(written.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll() == original.readAll());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
