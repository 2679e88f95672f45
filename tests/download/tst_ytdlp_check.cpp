// Installing, checking and updating the working folder's yt-dlp.
#include "download/YTDLPCheck.h"
#include "support/FakeExecutable.h"
#include "support/FileContents.h"
#include "support/LogCapture.h"
#include "support/MediaServer.h"
#include "support/TestRows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace
{

// A user-owned yt-dlp whose -U exits with status code, rewriting itself to newVersion when that is
// given.
QString fakeYtdlp(const QString &version, int code, const QString &newVersion = {})
{
    QString body = QStringLiteral("if [ \"$1\" = --version ]; then echo %1; exit 0; fi\n"
                                  "if [ \"$1\" = -U ]; then\n")
                       .arg(version);
    if (!newVersion.isEmpty())
        body += QStringLiteral("  sed -i 's/%1/%2/' \"$0\"\n").arg(version, newVersion);
    if (code != 0) body += QStringLiteral("  echo 'ERROR: Unable to obtain version info'\n");
    return body + QStringLiteral("  exit %1\nfi\nexit 9\n").arg(code);
}

QString versionOf(const QString &path)
{
    QProcess process;
    process.start(path, {"--version"});
    process.waitForFinished();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

class TestYtdlpCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    int m_folders = 0;

    QString newFolder()
    {
        const QString folder = m_root.filePath(QStringLiteral("w %1").arg(++m_folders));
        QDir().mkpath(folder);
        return folder;
    }

private slots:
    // ytdlp: the body of a fake yt-dlp, or "missing" or "system" (a link to the system's, which is
    // never self-updated: offline, its -U would fail). script: a stand-in update script, or empty
    // for the real one.
    void check_data()
    {
        QTest::addColumn<QString>("ytdlp");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("version");
        addRow("current", fakeYtdlp("2024.01.01", 0), "", 2, "2024.01.01");
        addRow("updated", fakeYtdlp("2024.01.01", 0, "2024.02.02"), "", 2, "2024.02.02");
        addRow("update failed (offline)", fakeYtdlp("2024.01.01", 100), "", -1, "");
        addRow("missing", "missing", "", 1, "");
        addRow("system yt-dlp", "system", "", 2, versionOf("/usr/bin/yt-dlp"));
        addRow("no space after the version", "missing", "printf 'yt-dlp is up to date (7'", 2, "7");
        addRow("neither prefix, no errors", "missing", "echo hello", -1, "");
    }

    void check()
    {
        QFETCH(QString, ytdlp);
        QFETCH(QString, script);
        QFETCH(int, code);
        const QString folder = newFolder();
        if (ytdlp == "system")
            QVERIFY(QFile::link("/usr/bin/yt-dlp", folder + "/yt-dlp"));
        else if (ytdlp != "missing")
            FakeExecutable::write(folder + "/yt-dlp", ytdlp);
        // A stand-in update script is found through the resource override.
        QTemporaryDir resources;
        const QByteArray saved = qgetenv("ZELVO_RESOURCE_DIR");
        if (!script.isEmpty()) {
            FakeExecutable::write(resources.filePath("update.sh"), script + "\n");
            qputenv("ZELVO_RESOURCE_DIR", resources.path().toUtf8());
        }
        LogCapture log; // the failures' diagnostics
        YTDLPCheck checker;
        QString error;
        const qint64 result = checker.checkYtdlpInURL(QUrl::fromLocalFile(folder), &error);
        qputenv("ZELVO_RESOURCE_DIR", saved);
        QCOMPARE(result, qint64(code));
        QTEST(checker.version(), "version");
        if (code == 1) QCOMPARE(error, QStringLiteral("No such file or directory"));
        // One checker serves one operation.
        QCOMPARE(checker.checkYtdlpInURL(QUrl::fromLocalFile(folder)), qint64(-1));
        QTEST(checker.version(), "version");
    }

    // served: the path asked of the server ("unreachable": no server), over a folder that holds a
    // working yt-dlp of version before (or none). installed: the version the folder then holds as a
    // file of its own, or "system" for a link to the system's yt-dlp.
    void install_data()
    {
        QTest::addColumn<QString>("served");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("installed");
        addRow("downloaded", "yt-dlp", "", "2030.01.01");
        addRow("404: the system's", "missing", "", "system");
        addRow("not a program: the system's", "page.html", "", "system");
        addRow("a working one is kept", "unreachable", "1.5", "1.5");
    }

    void install()
    {
        QFETCH(QString, served);
        QFETCH(QString, before);
        QFETCH(QString, installed);
        QTemporaryDir site;
        FakeExecutable::write(site.filePath("yt-dlp"), fakeYtdlp("2030.01.01", 0));
        QVERIFY(FileContents::write(site.filePath("page.html"), "<html>not a program</html>"));
        MediaServer server(site.path());
        QVERIFY(server.isRunning());
        qputenv("ZELVO_YTDLP_URL", served == "unreachable" ? "http://127.0.0.1:1/yt-dlp"
                                                           : server.url(served).toUtf8());
        const QString folder = newFolder();
        if (!before.isEmpty()) FakeExecutable::write(folder + "/yt-dlp", fakeYtdlp(before, 0));
        LogCapture log;
        YTDLPCheck().installAtPath(QUrl::fromLocalFile(folder));
        qunsetenv("ZELVO_YTDLP_URL");
        const QFileInfo file(folder + "/yt-dlp");
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{"yt-dlp"});
        if (installed == "system") {
            QVERIFY(file.isSymLink());
            QCOMPARE(file.canonicalFilePath(), QFileInfo("/usr/bin/yt-dlp").canonicalFilePath());
            return;
        }
        QVERIFY(file.isFile() && !file.isSymLink() && file.isExecutable());
        QCOMPARE(versionOf(file.filePath()), installed);
        if (!before.isEmpty()) return;
        QVERIFY(log.containsPart("Installed yt-dlp " + installed));
        YTDLPCheck checker;
        QCOMPARE(checker.checkYtdlpInURL(QUrl::fromLocalFile(folder)), qint64(2));
        QCOMPARE(checker.version(), installed);
    }
};

QTEST_GUILESS_MAIN(TestYtdlpCheck)
#include "tst_ytdlp_check.moc"
