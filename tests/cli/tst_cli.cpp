// zelvo-cli as a person runs it, each case in a HOME of its own: setup, the download road into
// the history, the history commands and their exit statuses, signals, unusual setups, the log,
// and the video tools on real media.
#include "media/NSVideoToolController.h"
#include "media/NSffmpegConvert264.h"
#include "store/XCoreDataManagement.h"
#include "support/DownloadFixture.h"
#include "support/DownloadRun.h"
#include "support/FakeExecutable.h"
#include "support/FileContents.h"
#include "support/MediaFactory.h"
#include "support/TestRows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

class TestCli : public QObject
{
    Q_OBJECT

    struct Result {
        int status;
        QString out;
        QString err;
    };

    DownloadFixture m_site;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QProcess> m_download; // a long run, ended by cleanup() whatever happened

    QString home(const QString &name) const { return m_home->filePath(name); }
    QString historyPath() const { return home("Documents/XTaskModel.sqlite"); }
    static QString binary() { return QCoreApplication::applicationDirPath() + "/zelvo-cli"; }

    // The HOME's own settings and history; setup installs from the local server, which has no
    // yt-dlp to give, so the system's is linked. settings: "NAME=value" added for this run.
    void prepare(QProcess &process, const QStringList &settings = {}) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_home->path());
        environment.insert("XDG_CONFIG_HOME", home(".config"));
        environment.insert("ZELVO_YTDLP_URL", m_site.url("no-yt-dlp-here"));
        environment.remove("ZELVO_LOG");
        environment.remove("QT_LOGGING_RULES");
        for (const QString &setting : settings)
            environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
        process.setProcessEnvironment(environment);
    }
    Result run(const QStringList &arguments, const QStringList &settings = {},
               const QString &outputFile = {}) const
    {
        QProcess process;
        prepare(process, settings);
        if (!outputFile.isEmpty()) process.setStandardOutputFile(outputFile);
        process.start(binary(), arguments);
        // A command that never ends must fail the check, not read as status 0; the bound is
        // generous because a sanitized zelvo-cli on a loaded machine downloads slowly.
        const bool ended = process.waitForFinished(180000);
        if (!ended) process.kill();
        process.waitForFinished();
        return {ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    // The run ends with the status and says the text on either stream; if not, says what it did.
    bool ends(const QStringList &arguments, int status, const QString &said,
              const QStringList &settings = {}) const
    {
        const Result result = run(arguments, settings);
        const bool expected = result.status == status && (result.out + result.err).contains(said);
        if (!expected)
            qWarning().noquote() << arguments << "ended" << result.status << result.out
                                 << result.err;
        return expected;
    }
    // A working folder set up by zelvo-cli; a tool given a body is then replaced by a fake.
    QString setUp(const QString &name, const QString &tool = {}, const QString &body = {}) const
    {
        const QString working = home(name);
        if (run({"setup", working}).status != 0) return {};
        if (!tool.isEmpty()) QFile::remove(working + "/" + tool);
        if (!tool.isEmpty()) FakeExecutable::write(working + "/" + tool, body);
        return working;
    }
    void startDownload(const QStringList &arguments)
    {
        prepare(*m_download);
        m_download->start(binary(), arguments);
    }
    void interrupt(int signal) { ::kill(pid_t(m_download->processId()), signal); }
    // Tasks written straight into the history, one per URL, with the given files.
    void writeHistory(const QList<std::pair<QString, QStringList>> &tasks) const
    {
        XCoreDataManagement store(historyPath());
        QVERIFY(store.open());
        for (const auto &[url, files] : tasks) {
            const auto task = store.creatTaskURL(url, QString(), QString());
            for (const QString &path : files)
                store.createFile(QUrl::fromLocalFile(path))->setTask(task);
        }
        QVERIFY(store.save());
    }
    struct StoredFile {
        float duration = 0;
        QString codec;
        QByteArray thumbnail;
    };
    // The first file of the task as the history holds it now.
    StoredFile storedFile(qint64 id) const
    {
        XCoreDataManagement store(historyPath());
        if (!store.open()) return {};
        for (const auto &task : store.existHistorys()) {
            const auto files = store.filesForTask(task);
            if (task->rowId() != id || files.isEmpty()) continue;
            const XFile &file = *files.first();
            return {file.duration().value_or(0), file.videoEncodeName(), file.thumbnail()};
        }
        return {};
    }
    static bool makeMpeg4(const QString &path, const QString &picture)
    {
        return MediaFactory::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=" + picture, "-c:v", "mpeg4", path});
    }

private slots:
    void initTestCase() { QVERIFY(m_site.start()); }
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        m_download = std::make_unique<QProcess>();
    }
    void cleanup()
    {
        m_download->kill();
        m_download->waitForFinished();
        for (qint64 pid : processesMentioning(m_home->path()))
            ::kill(pid_t(pid), SIGKILL);
    }

    void answers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // in the output or the error
        const QStringList none;
        addRow("help", QStringList{"--help"}, none, 0, "resume ID");
        addRow("unknown command", QStringList{"fly"}, none, 2, "unknown command 'fly'");
        addRow("unknown option", QStringList{"show", "1", "--all"}, none, 2, "--help");
        addRow("not set up", QStringList{"download", "http://127.0.0.1:1/v.mp4"}, none, 1,
               "zelvo-cli setup FOLDER");
        addRow("unknown id", QStringList{"resume", "41"}, none, 1, "no task with the id '41'");
        // With no working folder, the media inspection logs why it cannot run ffprobe: only
        // when asked for (hidden otherwise: see the exact error of "info" in the whole road).
        addRow("log: ZELVO_LOG=1", QStringList{"info", "/nonexistent/missing.mp4"},
               QStringList{"ZELVO_LOG=1"}, 1, "zelvo.media: videoEncodeNameFileURL error:");
    }

    void answers()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, settings);
        QFETCH(int, status);
        QFETCH(QString, said);
        QVERIFY(ends(arguments, status, said, settings));
    }

    void unopenableHistoryIsSaid()
    {
        QVERIFY(FileContents::write(home("Documents"), {})); // where the history's folder goes
        const Result result = run({"list"});
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.startsWith("place store error."), qPrintable(result.err));
    }

    void outputThatCannotBeWritten()
    {
        // A pipe whose reader has gone: writing must neither kill zelvo-cli (SIGPIPE) nor
        // change its exit status.
        QProcess python;
        python.start("python3",
                     {"-c",
                      "import os, subprocess, sys\n"
                      "r, w = os.pipe()\nos.close(r)\n"
                      "sys.exit(subprocess.run(sys.argv[1:], stdout=w).returncode % 256)",
                      binary(), "--help"});
        QVERIFY(python.waitForFinished(20000));
        QCOMPARE(python.exitCode(), 0);
        // A full disk is an error.
        writeHistory({{"https://v.example/1", {"/W/a.mp4"}}});
        const Result result = run({"list"}, {}, "/dev/full");
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.contains("cannot write the output"), qPrintable(result.err));
    }

    void wholeRoadThroughTheHistory()
    {
        const QString folder = home("work folder");
        Result result = run({"setup", folder});
        QCOMPARE(result.status, 0);
        QVERIFY2(result.out.contains("yt-dlp ") && result.out.contains("ffmpeg version"),
                 qPrintable(result.out + result.err));
        QVERIFY(QFileInfo(folder + "/ffprobe").isExecutable());

        const QString url = m_site.url("a.mp4");
        result = run({"download", url, "--note", "first\tclip\nline"});
        QCOMPARE(result.status, 0);
        const QString file = folder + "/a [a].mp4";
        QCOMPARE(result.out, file + "  320 x 240    h264  00:00:02\n");
        QVERIFY(QFileInfo::exists(file));

        QVERIFY(ends({"download", url}, 2, "已经存在: " + url + " 已经下载过了. (task 1)"));
        QCOMPARE(run({"download", "ftp://example.org/v"}).status, 2);

        result = run({"list"});
        QCOMPARE(result.status, 0);
        QVERIFY2(QRegularExpression("^1  completed  \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d  " +
                                    QRegularExpression::escape(url) +
                                    "  a \\[a\\]\\.mp4  first clip line\\n$")
                     .match(result.out)
                     .hasMatch(),
                 qPrintable(result.out));

        result = run({"show", "1"});
        QCOMPARE(result.status, 0);
        QVERIFY(result.out.contains("file           " + file + "\n"));
        QVERIFY(result.out.contains("  details      320 x 240    h264  00:00:02\n"));
        QVERIFY(
            QRegularExpression("\\n  thumbnail    [1-9]\\d+ bytes").match(result.out).hasMatch());

        QCOMPARE(run({"info", file}).out,
                 QStringLiteral("320 x 240    h264  00:00:02 25.00 fps\n"));
        result = run({"info", folder + "/nothing.mp4"});
        QCOMPARE(result.status, 1);
        QCOMPARE(result.err, QStringLiteral("ffprobe error.\n"));

        QVERIFY(ends({"resume", "1"}, 1, "has completed"));
        QCOMPARE(run({"remove", "1"}).status, 0);
        QVERIFY(!QFileInfo::exists(file));
        QCOMPARE(run({"show", "1"}).status, 1);
        QCOMPARE(run({"list"}).out, QString());
    }

    // Ctrl-C once the download has written its ".part" pauses the task, its yt-dlp gone;
    // resuming completes it.
    void ctrlCPausesThenResume()
    {
        const QString folder = setUp("work");
        const QString part = folder + "/large [large].mp4.part";
        startDownload({"download", m_site.url("slow/600000/large.mp4")});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(part).size() > 0, 20000);
        interrupt(SIGINT);
        QVERIFY(m_download->waitForFinished(10000));
        QCOMPARE(m_download->exitCode(), 130);
        QVERIFY(m_download->readAllStandardOutput().isEmpty());
        QVERIFY(m_download->readAllStandardError().contains("zelvo-cli resume 1"));
        QVERIFY(processesMentioning(folder).isEmpty());
        QVERIFY(QFileInfo::exists(part));
        QVERIFY(run({"list"}).out.startsWith("1  created"));
        const Result resumed = run({"resume", "1"});
        QVERIFY2(resumed.status == 0, qPrintable(resumed.err));
        QVERIFY(resumed.out.startsWith(folder + "/large [large].mp4"));
        QVERIFY(run({"list"}).out.startsWith("1  completed"));
    }

    void hangUpPausesAndCtrlCThenEndsAtOnce()
    {
        // A yt-dlp that ignores the polite stop.
        const QString folder = setUp("deaf", "yt-dlp",
                                     "trap '' TERM\n"
                                     "echo '[download]  1.0% of 1.00MiB at 1.00KiB/s ETA 09:00'\n"
                                     "while :; do sleep 0.1; done\n");
        QVERIFY(!folder.isEmpty());
        m_download->setReadChannel(QProcess::StandardError); // progress is shown there
        startDownload({"download", "http://127.0.0.1:1/v"});
        QByteArray shown;
        QTRY_VERIFY2_WITH_TIMEOUT((shown += m_download->readAllStandardError()).contains("1.0%"),
                                  shown.constData(), 10000);
        interrupt(SIGHUP); // a closed terminal pauses like Ctrl-C
        QTRY_VERIFY2_WITH_TIMEOUT((shown += m_download->readAllStandardError()).contains("Pausing"),
                                  shown.constData(), 5000);
        QThread::msleep(300);
        QCOMPARE(m_download->state(), QProcess::Running);
        QElapsedTimer timer;
        timer.start();
        interrupt(SIGINT);
        QVERIFY(m_download->waitForFinished(2000));
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(m_download->exitCode(), 130);
        QTRY_VERIFY(processesMentioning(folder).isEmpty());
        QVERIFY(run({"list"}).out.startsWith("1  created"));
    }

    void failedDownloadSaysWhatArrivedAndIsResumed()
    {
        const QString folder = setUp("work");
        // The page's first video is missing: the second arrives, and the task fails.
        const QString url = m_site.url("missing.html");
        Result result = run({"download", url});
        QCOMPARE(result.status, 1);
        QCOMPARE(result.out,
                 folder + "/Missing first (2) [missing-2].mp4  320 x 240    h264  00:00:02\n");
        QVERIFY2(
            result.err.contains("Download failed: unable to download video data: HTTP Error 404") &&
                result.err.endsWith("1 of 2 videos arrived.\n"),
            qPrintable(result.err));
        QVERIFY(run({"list"}).out.startsWith("1  failed"));

        QVERIFY(ends({"download", url}, 2,
                     "failed before (task 1); 'zelvo-cli resume 1' tries it again."));

        // Once the page is whole, the failed task goes on.
        const QString missing = m_site.siteFile("gone.mp4");
        QVERIFY(QFile::copy(m_site.siteFile("a.mp4"), missing));
        const auto restore = qScopeGuard([&] { QFile::remove(missing); });
        result = run({"resume", "1"});
        QVERIFY2(result.status == 0, qPrintable(result.err));
        QVERIFY2(result.out.contains("Missing first (1) [missing-1].mp4") &&
                     result.out.contains("Missing first (2) [missing-2].mp4"),
                 qPrintable(result.out + result.err));
        QVERIFY(run({"list"}).out.startsWith("1  completed"));
    }

    void failedSaveIsSaid()
    {
        // The history's disk fills up during the download: the history cannot grow (the file
        // size limit stands in for the full disk), while yt-dlp, lifting the limit, still can.
        QVERIFY(!setUp("full", "yt-dlp", "ulimit -S -f unlimited\nexec /usr/bin/yt-dlp \"$@\"\n")
                     .isEmpty());
        QCOMPARE(run({"list"}).status, 0); // the history exists before the limit
        prepare(*m_download);
        m_download->start("/bin/sh",
                          {"-c", "trap '' XFSZ; ulimit -S -f 72; exec \"$0\" download \"$1\"",
                           binary(), m_site.url("a.mp4")});
        QVERIFY(m_download->waitForFinished(60000));
        const QString err = QString::fromUtf8(m_download->readAllStandardError());
        QCOMPARE(m_download->exitCode(), 1);
        QVERIFY2(err.contains("Task 1: the history could not be saved: "), qPrintable(err));
        QVERIFY(!run({"list"}).out.startsWith("1  completed"));
    }

    void listRowsStayNarrowAndNameTheMatchingFile()
    {
        const QString longURL = "https://v.example/watch?list=" + QString(300, 'x');
        writeHistory({{"https://v.example/1", {"/W/alpha one.mp4", "/W/beta two.mp4"}},
                      {longURL, {"/W/gamma.mp4"}}});
        Result result = run({"list"});
        QCOMPARE(result.status, 0);
        const QStringList rows = result.out.trimmed().split('\n');
        QCOMPARE(rows.size(), 2);
        for (const QString &row : rows)
            QVERIFY2(row.size() < 160, qPrintable(row));
        // Cut in the middle to 60 characters: both ends stay.
        QVERIFY2(rows.at(0).contains(QStringLiteral("  https://v.example/watch?list=x\u2026") +
                                     QString(29, 'x') + "  gamma.mp4"),
                 qPrintable(result.out));
        QVERIFY(rows.at(1).contains("alpha one.mp4"));

        result = run({"list", "TWO"});
        QCOMPARE(result.status, 0);
        QVERIFY2(result.out.startsWith("1  created") && result.out.contains("beta two.mp4") &&
                     !result.out.contains("alpha"),
                 qPrintable(result.out));
    }

    void setupRefusesAFolderWithALineBreak()
    {
        QVERIFY(ends({"setup", home("two\nlines")}, 2, "line break"));
        QVERIFY(!QFileInfo::exists(home("two\nlines")));
    }

    void infoReadsAFileWhoseNameIsNotUtf8()
    {
        QVERIFY(!setUp("work").isEmpty());
        const QByteArray name = QFile::encodeName(home("clip-")) + "\xff\xfe.mp4";
        QVERIFY(QFile::copy(m_site.siteFile("a.mp4"), home("plain.mp4")));
        QCOMPARE(::rename(QFile::encodeName(home("plain.mp4")).constData(), name.constData()), 0);
        // A name Qt cannot spell is not removed with the temporary folder.
        const auto removeIt = qScopeGuard([&name] { ::unlink(name.constData()); });
        // The name as bytes: QProcess would pass the text's UTF-8, which is another name.
        prepare(*m_download);
        m_download->setWorkingDirectory(m_home->path());
        m_download->start("/bin/sh",
                          {"-c", "exec \"$0\" info \"$(printf 'clip-\\377\\376.mp4')\"", binary()});
        QVERIFY(m_download->waitForFinished(30000));
        QCOMPARE(m_download->exitCode(), 0);
        QCOMPARE(m_download->readAllStandardOutput(),
                 QByteArray("320 x 240    h264  00:00:02 25.00 fps\n"));
    }

    // A history that cannot be written is read, with a warning; writing is refused with the
    // reason.
    void readOnlyHistoryIsReadNotWritten()
    {
        writeHistory({{"https://v.example/kept", {"/W/kept.mp4"}}});
        if (access(QFile::encodeName(historyPath()).constData(), W_OK) != 0 ||
            QProcess::execute("chattr", {"+i", historyPath()}) != 0)
            QSKIP("cannot make a file this user may not write");
        const auto restore = qScopeGuard([&] {
            QProcess::execute("chattr", {"-i", historyPath()});
        });
        Result result = run({"list"});
        QCOMPARE(result.status, 0);
        QVERIFY(result.out.startsWith("1  created"));
        QVERIFY2(result.err.contains("read only"), qPrintable(result.err));
        result = run({"remove", "1"});
        QCOMPARE(result.status, 1);
        QCOMPARE(result.err,
                 "place store error. " + historyPath() + ": the file may not be written\n");
    }

    // Trim, thumbnail and encode of tasks 1 to 3; task 4's encode is stopped by Ctrl-C.
    void videoTools()
    {
        const QString folder = setUp("work");
        QVERIFY(MediaFactory::makeClip(folder + "/clip.mp4", 4));
        QVERIFY(MediaFactory::makeClip(folder + "/pic.mp4", 4));
        QVERIFY(makeMpeg4(folder + "/small.mp4", "160x120:d=2"));
        QVERIFY(makeMpeg4(folder + "/long.mp4", "1280x720:d=30"));
        writeHistory({{"https://v.example/1", {folder + "/clip.mp4"}},
                      {"https://v.example/2", {folder + "/pic.mp4"}},
                      {"https://v.example/3", {folder + "/small.mp4"}},
                      {"https://v.example/4", {folder + "/long.mp4"}}});

        // No terminal to ask, no --yes: nothing is cut.
        QVERIFY(ends({"trim", "1", "--head", "1", "--tail", "1"}, 2, "--yes"));
        QVERIFY(ends({"trim", "1", "--head", "3", "--tail", "0.5", "--yes"}, 1,
                     NSVideoToolController::tooLongText));
        QVERIFY(
            ends({"trim", "1", "--head", "1", "--tail", "1", "--yes"}, 0, folder + "/clip.mp4"));
        QVERIFY(std::abs(storedFile(1).duration - 2.0f) < 0.3f);

        const QByteArray thumbnail = storedFile(2).thumbnail;
        QVERIFY(ends({"thumbnail", "2", "--at", "0.6"}, 0, QString()));
        QVERIFY(!storedFile(2).thumbnail.isEmpty() && storedFile(2).thumbnail != thumbnail);

        QVERIFY(ends({"encode", "3"}, 0, folder + "/small_h264.mp4"));
        QCOMPARE(storedFile(3).codec, "h264");
        QCOMPARE(run({"encode", "3"}).status, 1); // already H.264

        startDownload({"encode", "4"});
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT(
            (err += QString::fromUtf8(m_download->readAllStandardError())).contains("%"), 60000);
        interrupt(SIGINT);
        QVERIFY(m_download->waitForFinished(30000));
        err += QString::fromUtf8(m_download->readAllStandardError());
        QCOMPARE(m_download->exitCode(), 130);
        QVERIFY2(err.contains(NSffmpegConvert264::cancelledDomain), qPrintable(err));
        QVERIFY(QFileInfo::exists(folder + "/long.mp4"));
        QVERIFY(!QFileInfo::exists(folder + "/long_h264.mp4"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
