// The words yt-dlp is given: the option string, and how the download script rebuilds it.
#include "download/NSYtdlpTask.h"
#include "support/DownloadRun.h"
#include "support/FakeExecutable.h"
#include "support/RecordingDelegate.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

// A yt-dlp that writes the words it was given, NUL-separated, beside itself.
const char recordingYtdlp[] =
    "for word in \"$@\"; do printf '%s\\0' \"$word\"; done > \"$(dirname \"$0\")/words\"\n";

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
    void urlIsNeverAnOption_data();
    void urlIsNeverAnOption();
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

void TestYtdlpOptions::urlIsNeverAnOption_data()
{
    QTest::addColumn<QString>("url");
    const QString marker = m_root.filePath("executed");
    QTest::newRow("command substitution") << QStringLiteral("http://h/$(touch %1)").arg(marker);
    QTest::newRow("backquotes") << QStringLiteral("http://h/`touch %1`").arg(marker);
    QTest::newRow("semicolon") << QStringLiteral("http://h/a;touch %1").arg(marker);
    QTest::newRow("an option") << QStringLiteral("--exec=touch %1").arg(marker);
    QTest::newRow("quotes and newline") << QStringLiteral("http://h/'\"\n; touch %1").arg(marker);
}

void TestYtdlpOptions::urlIsNeverAnOption()
{
    QFETCH(QString, url);
    NSYtdlpTask task(TestEnvironment::resourceFile("ytdlp.sh"), nullptr);
    task.setWorkingURL(QUrl::fromLocalFile(m_folder));
    downloadNow(task, url);
    const QStringList words = recordedWords();
    QVERIFY(words.size() >= 2);
    QCOMPARE(words.last(), url);
    QCOMPARE(words.at(words.size() - 2), QStringLiteral("--"));

    // The real yt-dlp, given the same URL after "--", runs nothing either.
    QTemporaryDir real;
    QVERIFY(QFile::link(QStringLiteral("/usr/bin/yt-dlp"), real.filePath("yt-dlp")));
    RecordingDelegate delegate;
    NSYtdlpTask realTask(TestEnvironment::resourceFile("ytdlp.sh"), &delegate);
    realTask.setWorkingURL(QUrl::fromLocalFile(real.path()));
    realTask.setCookieBrowser({});
    QVERIFY(downloadNow(realTask, url).isEmpty());
    QCOMPARE(delegate.reasons().size(), 1);
    QVERIFY(!QFile::exists(m_root.filePath("executed")));
}

QTEST_GUILESS_MAIN(TestYtdlpOptions)
#include "tst_ytdlp_options.moc"
