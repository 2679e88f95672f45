// The words yt-dlp is given: the option string, and how the download script rebuilds it.
#include "download/NSYtdlpTask.h"
#include "support/DownloadRun.h"
#include "support/FakeExecutable.h"
#include "support/RecordingDelegate.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

// A yt-dlp that writes the words it was given, NUL-separated, beside itself.
const char recordingYtdlp[] =
    "for word in \"$@\"; do printf '%s\\0' \"$word\"; done > \"$(dirname \"$0\")/words\"\n";

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

// Page URLs and browser names through the real runner and download script, which rebuilds
// the option string with eval: every word comes back exactly, and the URL is the last word
// yt-dlp gets, right after "--", whatever it holds: words made to run a command or to pass
// for an option, then random words. (The folder's quoting: the folder's own name.)
void TestYtdlpOptions::urlsAreNeverOptions()
{
    const QString marker = m_root.filePath("executed");
    QStringList urls = {"http://h/$(touch %1)", "http://h/`touch %1`", "http://h/a;touch %1",
                        "--exec=touch %1", "http://h/'\"\n; touch %1"};
    for (QString &url : urls)
        url = url.arg(marker);
    const quint32 seed = propertySeed();
    RandomWords random(seed);
    for (int i = 0; i < 300; ++i)
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
