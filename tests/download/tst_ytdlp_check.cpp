// Installing, checking and updating the working folder's yt-dlp.
#include "download/YTDLPCheck.h"
#include "support/FakeExecutable.h"
#include "support/LogCapture.h"
#include "support/MediaServer.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

// A user-owned yt-dlp whose -U exits with status code, rewriting itself to newVersion when
// that is given.
QString fakeYtdlp(const QString &version, int code, const QString &newVersion = {})
{
    QString body = QStringLiteral("if [ \"$1\" = --version ]; then echo %1; exit 0; fi\n"
                                  "if [ \"$1\" = -U ]; then\n")
                       .arg(version);
    if (!newVersion.isEmpty())
        body += QStringLiteral("  sed -i 's/%1/%2/' \"$0\"\n").arg(version, newVersion);
    if (code != 0) body += QStringLiteral("  echo 'ERROR: Unable to obtain version info'\n");
    body += QStringLiteral("  exit %1\nfi\nexit 9\n").arg(code);
    return body;
}

} // namespace

class TestYtdlpCheck : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    int m_folders = 0;

    QString newFolder()
    {
        const QString folder = m_root.filePath(QStringLiteral("w %1").arg(++m_folders));
        QDir().mkpath(folder);
        return folder;
    }
    static qint64 check(const QString &folder, QString *version = nullptr, QString *error = nullptr)
    {
        YTDLPCheck checker;
        const qint64 code = checker.checkYtdlpInURL(QUrl::fromLocalFile(folder), error);
        if (version) *version = checker.version();
        return code;
    }
    static QString run(const QString &path)
    {
        QProcess process;
        process.start(path, {"--version"});
        process.waitForFinished();
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

private slots:
    void updateScriptOutcomes_data();
    void updateScriptOutcomes();
    void missingOrDanglingYtdlp();
    void systemYtdlpIsNotSelfUpdated();
    void outputParse_data();
    void outputParse();
    void checkerServesOneOperation();
    void installDownloadsFromTheServer();
    void installFallsBackToTheSystemYtdlp();
    void installKeepsAWorkingYtdlpWhenTheDownloadFails();
};

void TestYtdlpCheck::updateScriptOutcomes_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<qint64>("code");
    QTest::addColumn<QString>("version");

    QTest::newRow("current") << fakeYtdlp("2024.01.01", 0) << qint64(2) << "2024.01.01";
    QTest::newRow("updated") << fakeYtdlp("2024.01.01", 0, "2024.02.02") << qint64(2)
                             << "2024.02.02";
    QTest::newRow("update failed (offline)") << fakeYtdlp("2024.01.01", 100) << qint64(-1) << "";
    QTest::newRow("does not run") << "exit 1\n" << qint64(-1) << "";
}

void TestYtdlpCheck::updateScriptOutcomes()
{
    QFETCH(QString, body);
    QFETCH(qint64, code);
    QFETCH(QString, version);
    const QString folder = newFolder();
    FakeExecutable::write(folder + "/yt-dlp", body);
    LogCapture log;
    QString found;
    QCOMPARE(check(folder, &found), code);
    QCOMPARE(found, version);
    if (code == -1) QVERIFY(log.containsPart("ErrorLog:"));
}

void TestYtdlpCheck::missingOrDanglingYtdlp()
{
    const QString folder = newFolder();
    QString error;
    QCOMPARE(check(folder, nullptr, &error), qint64(1));
    QCOMPARE(error, QStringLiteral("No such file or directory"));
    QVERIFY(QFile::link(m_root.filePath("nowhere"), folder + "/yt-dlp"));
    error.clear();
    QCOMPARE(check(folder, nullptr, &error), qint64(1));
    QCOMPARE(error, QStringLiteral("No such file or directory"));
}

void TestYtdlpCheck::systemYtdlpIsNotSelfUpdated()
{
    // Offline, the system's yt-dlp -U would fail; a code 2 shows it was not run.
    const QString folder = newFolder();
    QVERIFY(QFile::link("/usr/bin/yt-dlp", folder + "/yt-dlp"));
    QString version;
    QCOMPARE(check(folder, &version), qint64(2));
    QCOMPARE(version, run("/usr/bin/yt-dlp"));
}

void TestYtdlpCheck::outputParse_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<qint64>("code");
    QTest::addColumn<QString>("version");

    QTest::newRow("first prefix wins")
        << "echo 'Updated yt-dlp to 2 and yt-dlp is up to date (1 x'" << qint64(2) << "1";
    QTest::newRow("text after the space")
        << "echo 'Updated yt-dlp to 3.0 more text'" << qint64(2) << "3.0";
    QTest::newRow("no space after the version")
        << "printf 'yt-dlp is up to date (7'" << qint64(2) << "7";
    QTest::newRow("neither prefix, no errors") << "echo hello" << qint64(-1) << "";
}

void TestYtdlpCheck::outputParse()
{
    QFETCH(QString, script);
    QFETCH(qint64, code);
    QFETCH(QString, version);
    // A stand-in update script, found through the resource override.
    QTemporaryDir resources;
    FakeExecutable::write(resources.filePath("update.sh"), script + "\n");
    const QByteArray saved = qgetenv("ZELVO_RESOURCE_DIR");
    qputenv("ZELVO_RESOURCE_DIR", resources.path().toUtf8());
    LogCapture log;
    QString found;
    const qint64 result = check(newFolder(), &found);
    qputenv("ZELVO_RESOURCE_DIR", saved);
    QCOMPARE(result, code);
    QCOMPARE(found, version);
    if (code == -1) {
        QVERIFY(log.contains("log:hello\n"));
        QVERIFY(log.contains("ErrorLog:"));
    }
}

void TestYtdlpCheck::checkerServesOneOperation()
{
    const QString folder = newFolder();
    FakeExecutable::write(folder + "/yt-dlp", fakeYtdlp("1.0", 0));
    YTDLPCheck checker;
    QCOMPARE(checker.checkYtdlpInURL(QUrl::fromLocalFile(folder)), qint64(2));
    LogCapture log;
    QCOMPARE(checker.checkYtdlpInURL(QUrl::fromLocalFile(folder)), qint64(-1));
    QCOMPARE(checker.version(), QStringLiteral("1.0"));
}

void TestYtdlpCheck::installDownloadsFromTheServer()
{
    QTemporaryDir site;
    FakeExecutable::write(site.filePath("yt-dlp"), fakeYtdlp("2030.01.01", 0));
    MediaServer server(site.path());
    QVERIFY(server.isRunning());
    qputenv("ZELVO_YTDLP_URL", server.url("yt-dlp").toUtf8());
    const QString folder = newFolder();
    LogCapture log;
    YTDLPCheck().installAtPath(QUrl::fromLocalFile(folder));
    qunsetenv("ZELVO_YTDLP_URL");
    const QFileInfo installed(folder + "/yt-dlp");
    QVERIFY(installed.isFile() && !installed.isSymLink() && installed.isExecutable());
    QCOMPARE(run(installed.filePath()), QStringLiteral("2030.01.01"));
    QVERIFY(log.containsPart("Installed yt-dlp 2030.01.01"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"yt-dlp"});
    QString version;
    QCOMPARE(check(folder, &version), qint64(2));
    QCOMPARE(version, QStringLiteral("2030.01.01"));
}

void TestYtdlpCheck::installFallsBackToTheSystemYtdlp()
{
    QTemporaryDir site;
    // An error page served as 404, and a page served with 200 that is not a program.
    QFile page(site.filePath("page.html"));
    QVERIFY(page.open(QIODevice::WriteOnly));
    page.write("<html>not a program</html>");
    page.close();
    MediaServer server(site.path());
    for (const QString &path : {QStringLiteral("missing"), QStringLiteral("page.html")}) {
        qputenv("ZELVO_YTDLP_URL", server.url(path).toUtf8());
        const QString folder = newFolder();
        LogCapture log;
        YTDLPCheck().installAtPath(QUrl::fromLocalFile(folder));
        const QFileInfo installed(folder + "/yt-dlp");
        QVERIFY2(installed.isSymLink(), qPrintable(path));
        QCOMPARE(installed.canonicalFilePath(), QFileInfo("/usr/bin/yt-dlp").canonicalFilePath());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{"yt-dlp"});
    }
    qunsetenv("ZELVO_YTDLP_URL");
}

void TestYtdlpCheck::installKeepsAWorkingYtdlpWhenTheDownloadFails()
{
    const QString folder = newFolder();
    FakeExecutable::write(folder + "/yt-dlp", fakeYtdlp("1.5", 0));
    qputenv("ZELVO_YTDLP_URL", "http://127.0.0.1:1/yt-dlp");
    LogCapture log;
    YTDLPCheck().installAtPath(QUrl::fromLocalFile(folder));
    qunsetenv("ZELVO_YTDLP_URL");
    QVERIFY(!QFileInfo(folder + "/yt-dlp").isSymLink());
    QCOMPARE(run(folder + "/yt-dlp"), QStringLiteral("1.5"));
}

QTEST_GUILESS_MAIN(TestYtdlpCheck)
#include "tst_ytdlp_check.moc"
