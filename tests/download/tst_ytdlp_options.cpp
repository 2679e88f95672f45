// The words yt-dlp is given: the option string, and how the download script rebuilds it.
#include "download/NSYtdlpTask.h"
#include "support/DownloadRun.h"
#include "support/FakeExecutable.h"
#include "support/RecordingDelegate.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

// A yt-dlp that writes the words it was given, NUL-separated, beside itself.
const char recordingYtdlp[] =
    "for word in \"$@\"; do printf '%s\\0' \"$word\"; done > \"$(dirname \"$0\")/words\"\n";

// Rebuilds each option string it is given as the download script does, and writes the
// number of words and then each word, all NUL-separated.
const char rebuildingShell[] = "for options in \"$@\"; do\n"
                               "  eval \"set -- $options\"\n"
                               "  printf '%s\\0' \"$#\"\n"
                               "  for word in \"$@\"; do printf '%s\\0' \"$word\"; done\n"
                               "done\n";

// Words made to break quoting: any character 1-255, the shell's special ones, line breaks,
// leading dashes, and characters beyond Latin-1 (two-, three- and four-byte UTF-8).
class RandomWords
{
public:
    explicit RandomWords(quint32 seed) : m_random(seed) {}

    QString next()
    {
        QString word;
        if (m_random.bounded(4) == 0) word = m_random.bounded(2) ? "-" : "--";
        const int length = m_random.bounded(24);
        for (int i = 0; i < length; ++i)
            word += nextCharacter();
        return word;
    }

private:
    QString nextCharacter()
    {
        static const QStringList special = {
            "'", "\"", "\\", "$", "`", "\n", " ",  "*", "?", "[", "~",  "#", ";",      "&",
            "|", "<",  "(",  "{", "!", "\t", "\r", "%", "=", "-", "视", "é", "\u0301", "🎬"};
        switch (m_random.bounded(3)) {
        case 0:
            return QString(QChar(char16_t(1 + m_random.bounded(255))));
        case 1:
            return special.at(m_random.bounded(special.size()));
        default:
            return QString(QChar(char16_t(0x20 + m_random.bounded(0x5f))));
        }
    }

    QRandomGenerator m_random;
};

quint32 propertySeed()
{
    bool given = false;
    const quint32 seed = qEnvironmentVariableIntValue("ZELVO_PROPERTY_SEED", &given);
    return given ? seed : QRandomGenerator::global()->generate();
}

// Each option string as /bin/sh rebuilds it with eval, as lists of words.
QList<QStringList> rebuiltByShell(const QStringList &optionStrings)
{
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"),
                QStringList{QStringLiteral("-c"), QString::fromLatin1(rebuildingShell),
                            QStringLiteral("sh")} +
                    optionStrings);
    if (!shell.waitForFinished(60000) || shell.exitCode() != 0) return {};
    QList<QByteArray> fields = shell.readAllStandardOutput().split('\0');
    fields.removeLast();
    QList<QStringList> rebuilt;
    for (qsizetype at = 0; at < fields.size();) {
        const qsizetype count = fields.at(at++).toLongLong();
        QStringList words;
        for (qsizetype i = 0; i < count && at < fields.size(); ++i)
            words << QString::fromUtf8(fields.at(at++));
        rebuilt << words;
    }
    return rebuilt;
}

} // namespace

class TestYtdlpOptions : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    QString m_folder;

    QStringList recordedWords() const
    {
        QFile file(QDir(m_folder).filePath("words"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        QStringList words = QString::fromUtf8(file.readAll()).split(QChar(0));
        words.removeLast();
        return words;
    }

private slots:
    void initTestCase();
    void optionString_data();
    void optionString();
    void wordsReachYtdlpIntact();
    void randomWordsComeBackExactly();
    void urlsAreNeverOptions();
};

void TestYtdlpOptions::initTestCase()
{
    m_folder = m_root.filePath(QStringLiteral("My \"Videos\" it's $HOME `x` *"));
    QVERIFY(QDir().mkpath(m_folder));
    FakeExecutable::write(QDir(m_folder).filePath("yt-dlp"), QString::fromLatin1(recordingYtdlp));
}

void TestYtdlpOptions::optionString_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("withFfmpeg");
    QTest::addColumn<QString>("browser");
    QTest::addColumn<bool>("best");
    QTest::addColumn<bool>("mp4");
    QTest::addColumn<QString>("expected");

    QTest::newRow("the example")
        << "/Volumes/Media/Work" << true << "Chrome" << true << false
        << "-P '/Volumes/Media/Work/' --ffmpeg-location '%1' "
           "--cookies-from-browser 'Chrome' -f 'bv*+ba/b' --write-description";
    QTest::newRow("no format flags")
        << "/w" << false << "Firefox" << false << false
        << "-P '/w/' --cookies-from-browser 'Firefox' --write-description";
    QTest::newRow("mp4 only") << "/w" << false << "" << false << true
                              << "-P '/w/' -f 'mp4' --write-description";
    QTest::newRow("best mp4") << "/w" << false << "" << true << true
                              << "-P '/w/' -f 'best[ext=mp4]' --write-description";
    QTest::newRow("spaces and quotes") << "/a b/it's" << false << "" << false << false
                                       << "-P '/a b/it'\\''s/' --write-description";
}

void TestYtdlpOptions::optionString()
{
    QFETCH(QString, folder);
    QFETCH(bool, withFfmpeg);
    QFETCH(QString, browser);
    QFETCH(bool, best);
    QFETCH(bool, mp4);
    QFETCH(QString, expected);
    // The ffmpeg folder is real (a file named "ffmpeg" in it, or not); its path is in %1.
    QTemporaryDir ffmpegFolder;
    if (withFfmpeg) FakeExecutable::write(ffmpegFolder.filePath("ffmpeg"), "exit 0\n");
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), nullptr);
    task.setWorkingURL(QUrl::fromLocalFile(folder));
    task.setFfmpegPath(ffmpegFolder.path());
    task.setCookieBrowser(browser);
    task.setTryBestVideo(best);
    task.setMustMP4Format(mp4);
    QCOMPARE(task.optionString(),
             expected.contains("%1") ? expected.arg(ffmpegFolder.path()) : expected);
}

void TestYtdlpOptions::wordsReachYtdlpIntact()
{
    FakeExecutable::write(QDir(m_folder).filePath("ffmpeg"), "exit 0\n");
    RecordingDelegate delegate;
    NSYtdlpTask task(TestEnvironment::resourceFile("ytdlp.sh"), &delegate);
    task.setWorkingURL(QUrl::fromLocalFile(m_folder));
    task.setFfmpegPath(m_folder);
    task.setCookieBrowser(QStringLiteral("Chrome"));
    task.setTryBestVideo(true);
    QVERIFY(downloadNow(task, QStringLiteral("http://127.0.0.1:1/v")).isEmpty());
    QCOMPARE(recordedWords(),
             (QStringList{"-P", m_folder + "/", "--ffmpeg-location", m_folder,
                          "--cookies-from-browser", "Chrome", "-f", "bv*+ba/b",
                          "--write-description", "--newline", "--", "http://127.0.0.1:1/v"}));
    QVERIFY(delegate.reasons().isEmpty());
}

// 10,000 random words as working folders and browser names: the option string built from
// them, rebuilt by /bin/sh, gives back exactly the same words.
void TestYtdlpOptions::randomWordsComeBackExactly()
{
    const quint32 seed = propertySeed();
    RandomWords random(seed);
    QStringList optionStrings;
    QList<QStringList> expected;
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), nullptr);
    for (int i = 0; i < 5000; ++i) {
        // Cleaned as every caller's folder is: "//x" would be a URL's host, not a folder.
        const QString folder = QDir::cleanPath(QLatin1Char('/') + random.next());
        const QString browser = QLatin1Char('x') + random.next();
        task.setWorkingURL(QUrl::fromLocalFile(folder));
        task.setCookieBrowser(browser);
        optionStrings << task.optionString();
        expected << QStringList{"-P", folder + "/", "--cookies-from-browser", browser,
                                "--write-description"};
    }
    QList<QStringList> rebuilt;
    for (qsizetype at = 0; at < optionStrings.size(); at += 500)
        rebuilt += rebuiltByShell(optionStrings.mid(at, 500));
    QCOMPARE(rebuilt.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        if (rebuilt.at(i) != expected.at(i))
            QFAIL(qPrintable(
                QStringLiteral("seed %1: %2 came back as %3")
                    .arg(seed)
                    .arg(expected.at(i).join(QChar(0x2423)), rebuilt.at(i).join(QChar(0x2423)))));
    }
}

// Page URLs through the real runner and download script: the URL is the last word yt-dlp
// gets, right after "--", whatever it holds: words made to run a command or to pass for an
// option, then random words.
void TestYtdlpOptions::urlsAreNeverOptions()
{
    const QString marker = m_root.filePath("executed");
    QStringList urls = {"http://h/$(touch %1)", "http://h/`touch %1`", "http://h/a;touch %1",
                        "--exec=touch %1", "http://h/'\"\n; touch %1"};
    for (QString &url : urls)
        url = url.arg(marker);
    const quint32 seed = propertySeed();
    RandomWords random(seed);
    for (int i = 0; i < 100; ++i)
        urls << random.next();
    NSYtdlpTask task(TestEnvironment::resourceFile("ytdlp.sh"), nullptr);
    task.setWorkingURL(QUrl::fromLocalFile(m_folder));
    for (const QString &url : urls) {
        const QString browser = QLatin1Char('-') + random.next();
        task.setCookieBrowser(browser);
        downloadNow(task, url);
        const QStringList expected = {"-P",
                                      m_folder + "/",
                                      "--cookies-from-browser",
                                      browser,
                                      "--write-description",
                                      "--newline",
                                      "--",
                                      url};
        if (recordedWords() != expected)
            QFAIL(qPrintable(QStringLiteral("seed %1: URL %2 reached yt-dlp as %3")
                                 .arg(seed)
                                 .arg(url, recordedWords().join(QChar(0x2423)))));
    }
    QVERIFY(!QFile::exists(marker));
}

QTEST_GUILESS_MAIN(TestYtdlpOptions)
#include "tst_ytdlp_options.moc"
