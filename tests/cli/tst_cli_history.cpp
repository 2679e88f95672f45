// zelvo-cli's history commands where a person's setup is unusual: a history that may not be
// written, an output that cannot be written, long URLs, odd names, a paused download removed.
#include "store/XCoreDataManagement.h"
#include "support/DownloadFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

class TestCliHistory : public QObject
{
    Q_OBJECT

    struct Result {
        int status;
        QString out;
        QString err;
    };

    DownloadFixture m_site;
    std::unique_ptr<QTemporaryDir> m_home;

    QString home(const QString &name) const { return m_home->filePath(name); }
    QString historyPath() const { return home(QStringLiteral("Documents/XTaskModel.sqlite")); }

    void prepare(QProcess &process) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_home->path());
        environment.insert("XDG_CONFIG_HOME", home(".config"));
        environment.insert("ZELVO_YTDLP_URL", m_site.url("no-yt-dlp-here"));
        process.setProcessEnvironment(environment);
    }

    Result run(const QStringList &arguments, const QString &outputFile = QString()) const
    {
        QProcess process;
        prepare(process);
        if (!outputFile.isEmpty()) process.setStandardOutputFile(outputFile);
        process.start(QCoreApplication::applicationDirPath() + "/zelvo-cli", arguments);
        process.waitForFinished(60000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

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

private slots:
    void initTestCase() { QVERIFY(m_site.start()); }
    void init() { m_home = std::make_unique<QTemporaryDir>(); }

    void listRowsStayNarrowAndNameTheMatchingFile()
    {
        const QString longURL = "https://v.example/watch?list=" + QString(300, QLatin1Char('x'));
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
                                     QString(29, QLatin1Char('x')) + "  gamma.mp4"),
                 qPrintable(result.out));
        QVERIFY(rows.at(1).contains(QStringLiteral("alpha one.mp4")));

        result = run({"list", "TWO"});
        QCOMPARE(result.status, 0);
        QVERIFY2(result.out.startsWith("1  created") && result.out.contains("beta two.mp4") &&
                     !result.out.contains("alpha"),
                 qPrintable(result.out));
        QVERIFY(run({"show", "2"}).out.contains(longURL));
    }

    void outputThatCannotBeWrittenFails()
    {
        writeHistory({{"https://v.example/1", {"/W/a.mp4"}}});
        const Result result = run({"list"}, QStringLiteral("/dev/full"));
        QCOMPARE(result.status, 1);
        QVERIFY2(result.err.contains("cannot write the output"), qPrintable(result.err));
    }

    void setupRefusesAFolderWithALineBreak()
    {
        const QString folder = home("two\nlines");
        const Result result = run({"setup", folder});
        QCOMPARE(result.status, 2);
        QVERIFY2(result.err.contains("line break"), qPrintable(result.err));
        QVERIFY(!QFileInfo::exists(folder));
    }

    void infoReadsAFileWhoseNameIsNotUtf8()
    {
        QCOMPARE(run({"setup", home("work")}).status, 0);
        const QByteArray name = QFile::encodeName(home("clip-")) + "\xff\xfe.mp4";
        QVERIFY(QFile::copy(m_site.siteFile("a.mp4"), home("plain.mp4")));
        QCOMPARE(::rename(QFile::encodeName(home("plain.mp4")).constData(), name.constData()), 0);
        // A name Qt cannot spell is not removed with the temporary folder.
        const auto removeIt = qScopeGuard([&name] { ::unlink(name.constData()); });
        // The name as bytes: QProcess would pass the text's UTF-8, which is another name.
        QProcess process;
        prepare(process);
        process.setProgram(QStringLiteral("/bin/sh"));
        process.setArguments({"-c", "exec \"$0\" info \"$(printf 'clip-\\377\\376.mp4')\"",
                              QCoreApplication::applicationDirPath() + "/zelvo-cli"});
        process.setWorkingDirectory(m_home->path());
        process.start();
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput(),
                 QByteArray("320 x 240    h264  00:00:02 25.00 fps\n"));
    }

    // Reading works on a history that cannot be written, writing is refused with the reason,
    // and nothing is left beside the file that would break the next run.
    void readOnlyHistoryIsReadNotWritten()
    {
        writeHistory({{"https://v.example/kept", {"/W/kept.mp4"}}});
        const QStringList alone = QDir(home("Documents")).entryList(QDir::Files);
        if (access(QFile::encodeName(historyPath()).constData(), W_OK) != 0 ||
            QProcess::execute("chattr", {"+i", historyPath()}) != 0)
            QSKIP("cannot make a file this user may not write");
        auto restore = qScopeGuard([&] { QProcess::execute("chattr", {"-i", historyPath()}); });

        Result result = run({"list"});
        QCOMPARE(result.status, 0);
        QVERIFY(result.out.startsWith("1  created"));
        QVERIFY2(result.err.contains("read only"), qPrintable(result.err));
        QVERIFY(run({"show", "1"}).out.contains("https://v.example/kept"));
        result = run({"remove", "1"});
        QCOMPARE(result.status, 1);
        QCOMPARE(result.err,
                 "place store error. " + historyPath() + ": the file may not be written\n");
        QCOMPARE(QDir(home("Documents")).entryList(QDir::Files), alone);

        restore.dismiss();
        QCOMPARE(QProcess::execute("chattr", {"-i", historyPath()}), 0);
        result = run({"list"});
        QCOMPARE(result.err, QString());
        QCOMPARE(run({"remove", "1"}).status, 0);
    }

    // A download paused mid-file leaves its ".part"; removing the task takes it.
    void removalOfAPausedDownloadTakesItsPart()
    {
        const QString folder = home("work");
        QCOMPARE(run({"setup", folder}).status, 0);
        QProcess download;
        const auto cleanup = qScopeGuard([&] {
            download.kill();
            download.waitForFinished();
        });
        prepare(download);
        download.start(QCoreApplication::applicationDirPath() + "/zelvo-cli",
                       {"download", m_site.url("slow/600000/large.mp4")});
        const QString part = folder + "/large [large].mp4.part";
        QElapsedTimer timer;
        timer.start();
        while (QFileInfo(part).size() == 0 && timer.elapsed() < 20000)
            QThread::msleep(50);
        QVERIFY(QFileInfo(part).size() > 0);
        ::kill(pid_t(download.processId()), SIGINT);
        QVERIFY(download.waitForFinished(10000));
        QCOMPARE(download.exitCode(), 130);
        QVERIFY(QFileInfo::exists(part));
        QCOMPARE(run({"remove", "1"}).status, 0);
        QCOMPARE(QDir(folder).entryList({"large*"}, QDir::Files), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCliHistory)
#include "tst_cli_history.moc"
