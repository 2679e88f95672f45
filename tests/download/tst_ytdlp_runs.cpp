// Runs of yt-dlp and other programs through stand-ins: the words they are given, and how a run ends
// when the program misbehaves (crashes, floods, signals, missing pieces).
#include "download/NSYtdlpTask.h"
#include "download/NSterminal.h"
#include "support/DownloadRun.h"
#include "support/FakeExecutable.h"
#include "support/FileContents.h"
#include "support/LogCapture.h"
#include "support/RecordingDelegate.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

const QString unreachable = QStringLiteral("http://127.0.0.1:1/v");

// A yt-dlp that writes the words it was given, NUL-separated, beside itself.
const char recordingYtdlp[] = "for word in \"$@\"; do printf '%s\\0' "
                              "\"$word\"; done > \"$(dirname \"$0\")/words\"\n";

// A word made to break quoting: any character 1-255, the shell's special ones, line breaks, leading
// dashes, and characters beyond Latin-1 (two-, three- and four-byte UTF-8).
QString randomWord(QRandomGenerator &random)
{
    static const QStringList special = {"'",  "\"", "\\", "$", "`",  "\n", " ",      "*", "?", "[",
                                        "~",  "#",  ";",  "&", "|",  "<",  "(",      "{", "!", "\t",
                                        "\r", "%",  "=",  "-", "视", "é",  "\u0301", "🎬"};
    QString word;
    if (random.bounded(4) == 0) word = random.bounded(2) ? "-" : "--";
    for (int i = random.bounded(24); i > 0; --i) {
        const int kind = random.bounded(3);
        word += kind == 0   ? QString(QChar(char16_t(1 + random.bounded(255))))
                : kind == 1 ? special.at(random.bounded(special.size()))
                            : QString(QChar(char16_t(0x20 + random.bounded(0x5f))));
    }
    return word;
}

} // namespace

class TestYtdlpRuns : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    int m_folders = 0;
    RecordingDelegate m_delegate;

    // A working folder (named name, or numbered) whose yt-dlp runs body (%1 stands for the folder);
    // none when body is empty.
    QString folderWith(const QString &body, const QString &name = {})
    {
        const QString folder =
            m_root.filePath(name.isEmpty() ? QString::number(++m_folders) : name);
        QDir().mkpath(folder);
        if (!body.isEmpty())
            FakeExecutable::write(folder + "/yt-dlp", QString(body).replace("%1", folder));
        return folder;
    }
    std::unique_ptr<NSYtdlpTask> taskFor(const QString &folder)
    {
        m_delegate.clear();
        auto task =
            std::make_unique<NSYtdlpTask>(TestEnvironment::resourceFile("ytdlp.sh"), &m_delegate);
        task->setWorkingURL(QUrl::fromLocalFile(folder));
        return task;
    }
    static QStringList recordedWords(const QString &folder)
    {
        QStringList words =
            QString::fromUtf8(FileContents::read(folder + "/words")).split(QChar(0));
        words.removeLast();
        return words;
    }

private slots:
    // Quoting and the flags with ffmpeg and a browser are checked through the script, below.
    void optionString_data()
    {
        QTest::addColumn<QString>("browser");
        QTest::addColumn<bool>("best");
        QTest::addColumn<bool>("mp4");
        QTest::addColumn<QString>("expected");
        addRow("no format flags, ffmpeg missing from its folder", "Firefox", false, false,
               "-P '/w/' --cookies-from-browser 'Firefox' --write-description");
        addRow("mp4 only", "", false, true, "-P '/w/' -f 'mp4' --write-description");
        addRow("best mp4", "", true, true, "-P '/w/' -f 'best[ext=mp4]' --write-description");
    }

    void optionString()
    {
        QFETCH(QString, browser);
        QFETCH(bool, best);
        QFETCH(bool, mp4);
        QTemporaryDir ffmpegFolder;
        NSYtdlpTask task(QStringLiteral("ytdlp.sh"), nullptr);
        task.setWorkingURL(QUrl::fromLocalFile("/w"));
        task.setFfmpegPath(ffmpegFolder.path());
        task.setCookieBrowser(browser);
        task.setTryBestVideo(best);
        task.setMustMP4Format(mp4);
        QTEST(task.optionString(), "expected");
    }

    // Through the real download script, which rebuilds the option string with eval, in a folder
    // whose name is made to break quoting: every word comes back exactly, and the URL is the last,
    // right after "--", whatever it holds: words made to run a command or to pass for an option,
    // then random words. Browser names are random words starting with a dash.
    void wordsReachYtdlpIntact()
    {
        const QString folder = folderWith(recordingYtdlp, "My \"Videos\" it's $HOME `x` *");
        FakeExecutable::write(QDir(folder).filePath("ffmpeg"), "exit 0\n");
        const QString marker = m_root.filePath("executed");
        QStringList urls = {"http://h/$(touch %1)", "http://h/`touch %1`", "http://h/a;touch %1",
                            "--exec=touch %1", "http://h/'\"\n; touch %1"};
        for (QString &url : urls)
            url = url.arg(marker);
        bool given = false;
        quint32 seed = qEnvironmentVariableIntValue("ZELVO_PROPERTY_SEED", &given);
        if (!given) seed = QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        for (int i = 0; i < 300; ++i)
            urls << randomWord(random);
        auto task = taskFor(folder);
        task->setFfmpegPath(folder);
        task->setTryBestVideo(true);
        const QStringList before = {"-P", folder + "/", "--ffmpeg-location", folder,
                                    "--cookies-from-browser"};
        const QStringList after = {"-f", "bv*+ba/b", "--write-description", "--newline", "--"};
        for (const QString &url : urls) {
            const QString browser = QLatin1Char('-') + randomWord(random);
            task->setCookieBrowser(browser);
            QVERIFY(downloadNow(*task, url).isEmpty());
            const QStringList expected = before + QStringList{browser} + after + QStringList{url};
            if (recordedWords(folder) != expected)
                QFAIL(qPrintable(QStringLiteral("seed %1: URL %2 reached yt-dlp as %3")
                                     .arg(seed)
                                     .arg(url, recordedWords(folder).join(QChar(0x2423)))));
        }
        QVERIFY(!QFile::exists(marker));
        QVERIFY(m_delegate.reasons().isEmpty());
    }

    void runEnds_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("files"); // names in the working folder
        QTest::addColumn<QStringList>("reasons");
        const QString finished = QStringLiteral("touch '%1/done.mp4'\n"
                                                "echo '[download] Destination: %1/done.mp4'\n");
        addRow("python traceback",
               "echo '[generic] Extracting URL: x'\n"
               "echo 'Traceback (most recent call last):' >&2\n"
               "echo '  File \"/usr/bin/yt-dlp\", line 8, in <module>' >&2\n"
               "echo 'FileNotFoundError: could not find chrome cookies database in "
               "\"/h\"' >&2\n"
               "echo 'WARNING: trailing warning' >&2\nexit 1\n",
               QStringList{},
               QStringList{"FileNotFoundError: could not find chrome cookies "
                           "database in \"/h\""});
        addRow("silent exit status", "exit 3\n", QStringList{},
               QStringList{"yt-dlp exited with status 3"});
        addRow("killed by a signal", "kill -KILL $$\n", QStringList{},
               QStringList{"yt-dlp was killed by signal 9"});
        addRow("non-zero exit with a finished file", finished + "exit 1\n", QStringList{"done.mp4"},
               QStringList{});
        addRow("1 MB on standard error does not stall",
               "head -c 1048576 /dev/zero | tr '\\0' w | fold -w 100 >&2\n" + finished,
               QStringList{"done.mp4"}, QStringList{});
        addRow("no yt-dlp in the folder", QString(), QStringList{},
               QStringList{"yt-dlp is not installed in the working folder %1"});
    }

    void runEnds()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, files);
        QFETCH(QStringList, reasons);
        const QString folder = folderWith(body);
        LogCapture log; // the flood's ten thousand discarded lines
        const QStringList returned = downloadNow(*taskFor(folder), unreachable);
        for (QString &name : files)
            name = folder + "/" + name;
        for (QString &reason : reasons)
            reason.replace("%1", folder);
        QCOMPARE(returned, files);
        QCOMPARE(m_delegate.reasons(), reasons);
    }

    void errorsOnBothStreamsAreReportedOncePerPass()
    {
        // The monitor sees the first error and reads no further until the end; the file named after
        // it is still found in the final pass, and standard error has its own pass. The fake writes
        // both errors at once and then waits for the test's go-ahead, so the first read holds the
        // two errors and nothing else.
        const QString folder = folderWith("printf 'ERROR: early\\nERROR: twice\\n'\n"
                                          "while [ ! -e '%1/go' ]; do sleep 0.05; done\n"
                                          "touch '%1/late.mp4'\n"
                                          "echo '[download] Destination: %1/late.mp4'\n"
                                          "echo 'ERROR: on stderr' >&2\n");
        auto task = taskFor(folder);
        DownloadRun download(*task, unreachable);
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate.reasons(), QStringList{"early"}, 10000);
        QFile go(folder + "/go");
        QVERIFY(go.open(QIODevice::WriteOnly));
        QVERIFY(download.wait(10000));
        QCOMPARE(download.files(), QStringList{folder + "/late.mp4"});
        QCOMPARE(m_delegate.reasons(), (QStringList{"early", "on stderr"}));
    }

    // The run ends only when yt-dlp's children have ended too (here one that takes a second
    // over a stop), so that a resumed run never meets them still writing.
    void stopIsNoFailure()
    {
        const QString folder =
            folderWith("sh -c 'trap \"\" TERM; sleep 1' %1/child &\n"
                       "echo '[download]  1.0% of 1.00MiB at 1.00KiB/s ETA 09:00'\n"
                       "exec sleep 30\n");
        auto task = taskFor(folder);
        DownloadRun download(*task, unreachable);
        QTRY_VERIFY_WITH_TIMEOUT(!m_delegate.progressReports().isEmpty(), 10000);
        task->stop();
        QVERIFY(download.wait(2000));
        QVERIFY(m_delegate.reasons().isEmpty());
        QVERIFY(processesMentioning(folder).isEmpty());
    }

    // NSterminal: one program run to its end, its text back ("<null>" for a null result); a
    // bare name, which is not searched on the PATH, cannot start.
    void terminalResult_data()
    {
        QTest::addColumn<QString>("program"); // empty for a program of body
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("expected");
        addRow("standard output", "", "echo out; echo err >&2; exit 3\n", "out\n");
        addRow("only standard error", "", "echo err >&2\n", "err\n");
        addRow("nothing", "", "exit 1\n", "<null>");
        addRow("invalid UTF-8 output falls back", "", "printf '\\377'; echo err >&2\n", "err\n");
        addRow("arguments arrive as words", "", "printf '%s|' \"$@\"\n", "a b|'c'|$d|");
        addRow("megabytes on both streams", "",
               "head -c 2000000 /dev/zero | tr '\\0' e >&2\n"
               "head -c 3000000 /dev/zero | tr '\\0' o\n",
               QString(3000000, 'o'));
        addRow("bare name", "sh", "", "<null>");
    }

    void terminalResult()
    {
        QFETCH(QString, program);
        QFETCH(QString, body);
        QFETCH(QString, expected);
        if (program.isEmpty()) program = FakeExecutable::write(m_root.filePath("program"), body);
        QString error = QStringLiteral("untouched");
        QElapsedTimer timer;
        timer.start();
        const QString output = NSterminal::order(program, {"a b", "'c'", "$d"}, &error);
        QVERIFY(timer.elapsed() < 20000);
        QCOMPARE(output.isNull(), expected == "<null>");
        if (!output.isNull()) QCOMPARE(output, expected);
        QCOMPARE(error == "untouched", !body.isEmpty());
        QVERIFY(!error.isEmpty());
        if (body.isEmpty()) QVERIFY(NSterminal::order(program, {}).isNull()); // no out-parameter
    }
};

QTEST_GUILESS_MAIN(TestYtdlpRuns)
#include "tst_ytdlp_runs.moc"
