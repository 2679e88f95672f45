// The toolchain installers: the developer-tools/Homebrew/download chain with fake programs and a
// local server, and the link to the system's own tools.
#include "download/NSterminal.h"
#include "media/NSffmpeg.h"
#include "media/SystemToolLinker.h"
#include "support/FakeExecutable.h"
#include "support/LogCapture.h"
#include "support/MediaServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class MediaInstallerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void developerTools();
    void homebrew();
    void oneLibrary();
    void allLibrariesStopAtFirstFailure();
    void wholeInstallation();
    void installationStopsEarly();
    void failedDownloadsInstallNothing_data();
    void failedDownloadsInstallNothing();
    void systemToolsLinked();
    void systemToolsSkipWorkingFolderOnPath();
    void systemToolMissingOrBroken();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QStringList messages() const { return m_messages; }
    NSffmpeg::Handler handler()
    {
        return [this](const QString &message) { m_messages << message; };
    }
    void writeTool(const QString &file, const QString &name);
    QString freshFolder(const QString &name);

    QTemporaryDir m_dir;
    std::unique_ptr<MediaServer> m_server;
    ToolchainInstaller::Programs m_programs;
    QStringList m_messages;
};

void MediaInstallerTest::writeTool(const QString &file, const QString &name)
{
    FakeExecutable::write(
        file, QStringLiteral("[ \"$1\" = -version ] && echo '%1 version 9' && exit 0\nexit 1\n")
                  .arg(name));
}

QString MediaInstallerTest::freshFolder(const QString &name)
{
    QDir(path(name)).removeRecursively();
    QDir().mkpath(path(name));
    return path(name);
}

void MediaInstallerTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir().mkpath(path("site/Zelvo")));
    for (const QString tool : {"ffmpeg", "ffplay", "ffprobe"})
        writeTool(path("site/Zelvo/") + tool, tool);
    m_server = std::make_unique<MediaServer>(path("site"));
    QVERIFY(m_server->isRunning());

    QVERIFY(QDir().mkpath(path("bin")));
    m_programs.xcodeSelect = FakeExecutable::write(
        path("bin/xcode-select"),
        QStringLiteral(
            "echo \"$@\" >> '%1'\n"
            "[ -e '%2' ] && echo 'xcode-select: error: no developer tools' >&2 && exit 2\n"
            "echo /Library/Developer/CommandLineTools\n")
            .arg(path("xcode-calls.txt"), path("no-xcode")));
    // Installed packages are files in the cellar; "install" of a name listed in broken does
    // nothing.
    m_programs.brew = FakeExecutable::write(
        path("bin/brew"),
        QStringLiteral("cellar='%1'\necho \"$@\" >> '%2'\n"
                       "case \"$1\" in\n"
                       "-v) [ -e '%3' ] && echo 'brew: command not found' && exit 127; echo "
                       "'Homebrew 4.1.0';;\n"
                       "list) [ -e \"$cellar/$3\" ] && echo \"$3 1.0\";;\n"
                       "install) grep -qx \"$2\" '%4' 2>/dev/null || touch \"$cellar/$2\";;\n"
                       "esac\nexit 0\n")
            .arg(path("cellar"), path("brew-calls.txt"), path("no-brew"), path("broken")));
    m_programs.curl = QStringLiteral("/usr/bin/curl");
    m_programs.chmod = QStringLiteral("/bin/chmod");
    m_programs.downloadServer = m_server->url("").chopped(1);
    NSffmpeg::setInstallerPrograms(m_programs);
}

void MediaInstallerTest::cleanupTestCase()
{
    NSffmpeg::setInstallerPrograms({});
}

void MediaInstallerTest::init()
{
    m_messages.clear();
    freshFolder("cellar");
    for (const QString file :
         {"xcode-calls.txt", "brew-calls.txt", "no-xcode", "no-brew", "broken"})
        QFile::remove(path(file));
    NSffmpeg::setInstallerPrograms(m_programs);
}

void MediaInstallerTest::developerTools()
{
    QString error;
    QVERIFY(NSffmpeg::detectXcode_SelectandReturnError(&error, handler()));
    QCOMPARE(messages(), (QStringList{"detect xcode-select start.",
                                      "xcode-select at:/Library/Developer/CommandLineTools\n"}));
    QVERIFY(error.isEmpty());

    QFile(path("no-xcode")).open(QIODevice::WriteOnly);
    m_messages.clear();
    QVERIFY(!NSffmpeg::detectXcode_SelectandReturnError(&error, handler()));
    QCOMPARE(messages(), (QStringList{"detect xcode-select start.",
                                      "xcode-select: error: no developer tools\n"}));

    LogCapture log;
    QVERIFY(NSffmpeg::xcode_selectInstallandReturnError(&error));
    QVERIFY(log.contains("call window for xcode-select install."));
    QFile calls(path("xcode-calls.txt"));
    QVERIFY(calls.open(QIODevice::ReadOnly));
    QVERIFY(calls.readAll().endsWith("--install\n"));

    ToolchainInstaller::Programs absent = m_programs;
    absent.xcodeSelect = path("bin/none");
    NSffmpeg::setInstallerPrograms(absent);
    m_messages.clear();
    QVERIFY(!NSffmpeg::detectXcode_SelectandReturnError(&error, handler()));
    QVERIFY(!error.isEmpty());
    QCOMPARE(messages(), QStringList{"detect xcode-select start."});
}

void MediaInstallerTest::homebrew()
{
    LogCapture log;
    QString error;
    QVERIFY(NSffmpeg::detectBrewandReturnError(&error));
    QVERIFY(log.contains("Homebrew 4.1.0\n"));
    QFile(path("no-brew")).open(QIODevice::WriteOnly);
    QVERIFY(!NSffmpeg::detectBrewandReturnError(&error));
    ToolchainInstaller::Programs elsewhere = m_programs;
    elsewhere.brew = path("bin/none");
    NSffmpeg::setInstallerPrograms(elsewhere);
    QVERIFY(!NSffmpeg::detectBrewandReturnError(&error));
    QVERIFY(!error.isEmpty());
}

void MediaInstallerTest::oneLibrary()
{
    QString error;
    QFile(path("cellar/x264")).open(QIODevice::WriteOnly);
    QVERIFY(NSffmpeg::libCheckInstall("x264", &error, handler()));
    QCOMPARE(messages(), (QStringList{"x264 check version.", "x264completed version x264 1.0\n"}));

    m_messages.clear();
    QVERIFY(NSffmpeg::libCheckInstall("opus", &error, handler()));
    QCOMPARE(messages(),
             (QStringList{"opus check version.", "opus start install.", "opus check version again.",
                          "opuscompleted version opus 1.0\n"}));

    // A brew install that fails shows only as the missing version.
    QFile broken(path("broken"));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("lame\n"));
    broken.close();
    m_messages.clear();
    QVERIFY(NSffmpeg::libCheckInstall("lame", &error, handler()));
    QCOMPARE(messages().last(), QStringLiteral("lamecompleted version (null)"));
}

void MediaInstallerTest::allLibrariesStopAtFirstFailure()
{
    QString error;
    QVERIFY(NSffmpeg::libsInstallandReturnError(&error, handler()));
    QCOMPARE(messages().size(), 13 * 4);
    QCOMPARE(messages().first(), QStringLiteral("pkg-config check version."));
    QCOMPARE(messages().last(), QStringLiteral("dav1dcompleted version dav1d 1.0\n"));

    // Everything installed now: one check and one answer each, no install.
    m_messages.clear();
    QFile::remove(path("brew-calls.txt"));
    QVERIFY(NSffmpeg::libsInstallandReturnError(&error, handler()));
    QCOMPARE(messages().size(), 13 * 2);
    QFile calls(path("brew-calls.txt"));
    QVERIFY(calls.open(QIODevice::ReadOnly));
    QVERIFY(!calls.readAll().contains("install"));

    ToolchainInstaller::Programs absent = m_programs;
    absent.brew = path("bin/none");
    NSffmpeg::setInstallerPrograms(absent);
    m_messages.clear();
    QVERIFY(!NSffmpeg::libsInstallandReturnError(&error, handler()));
    QCOMPARE(messages(), (QStringList{"pkg-config check version.", "pkg-config start install.",
                                      "pkg-config install failed."}));
    QVERIFY(!error.isEmpty());
}

void MediaInstallerTest::wholeInstallation()
{
    const QString folder = freshFolder("work");
    QFile old(folder + "/ffmpeg");
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old ffmpeg"));
    old.close();
    QString error;
    QVERIFY(NSffmpeg::ffmpegInstallToPath(folder, &error, handler()));
    const QStringList said = messages();
    QCOMPARE(said.first(), QStringLiteral("ffmpeg start install."));
    QVERIFY(said.contains("Check and install brew."));
    QVERIFY(said.contains("Check and install libs."));
    const qsizetype tools = said.indexOf("Check and install ffmpeg.");
    QCOMPARE(said.mid(tools),
             (QStringList{"Check and install ffmpeg.", "Check and install ffplay.",
                          "Check and install ffprobe.", "All app have installed."}));
    // The old ffmpeg is overwritten with the download; all three run.
    for (const QString tool : {"ffmpeg", "ffplay", "ffprobe"}) {
        QVERIFY(QFileInfo(folder + "/" + tool).isExecutable());
        QCOMPARE(NSterminal::order(folder + "/" + tool, {"-version"}), tool + " version 9\n");
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

void MediaInstallerTest::installationStopsEarly()
{
    const QString folder = freshFolder("work");
    QString error;
    QFile(path("no-xcode")).open(QIODevice::WriteOnly);
    QVERIFY(!NSffmpeg::ffmpegInstallToPath(folder, &error, handler()));
    QCOMPARE(messages().last(), QStringLiteral("xcode-select tools NOT Found."));
    QFile::remove(path("no-xcode"));

    ToolchainInstaller::Programs elsewhere = m_programs;
    elsewhere.brew = path("bin/none");
    NSffmpeg::setInstallerPrograms(elsewhere);
    m_messages.clear();
    QVERIFY(!NSffmpeg::ffmpegInstallToPath(folder, &error, handler()));
    QCOMPARE(messages().last(), QStringLiteral("brew NOT Found."));
    QVERIFY(QDir(folder).isEmpty());
}

void MediaInstallerTest::failedDownloadsInstallNothing_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("tool");
    // No ffplay on the server: curl gets a 404 page.
    QVERIFY(QDir().mkpath(path("site/partial/Zelvo")));
    for (const QString tool : {"ffmpeg", "ffprobe"})
        writeTool(path("site/partial/Zelvo/") + tool, tool);
    // An ffprobe that is a web page, not a program.
    QVERIFY(QDir().mkpath(path("site/html/Zelvo")));
    for (const QString tool : {"ffmpeg", "ffplay"})
        writeTool(path("site/html/Zelvo/") + tool, tool);
    QFile page(path("site/html/Zelvo/ffprobe"));
    QVERIFY(page.open(QIODevice::WriteOnly) && page.write("<html>Service unavailable</html>\n"));
    QTest::newRow("404") << "partial"
                         << "ffplay";
    QTest::newRow("not a program") << "html"
                                   << "ffprobe";
}

void MediaInstallerTest::failedDownloadsInstallNothing()
{
    QFETCH(QString, server);
    QFETCH(QString, tool);
    ToolchainInstaller::Programs programs = m_programs;
    programs.downloadServer = m_server->url(server);
    NSffmpeg::setInstallerPrograms(programs);
    const QString folder = freshFolder("work");
    QString error;
    QVERIFY(!NSffmpeg::ffmpegInstallToPath(folder, &error, handler()));
    QVERIFY(error.startsWith(tool + " install failed"));
    QVERIFY(messages().last().startsWith(tool + " install failed"));
    QVERIFY(!messages().contains("All app have installed."));
    QVERIFY(!QFile::exists(folder + "/" + tool));
    QVERIFY(QFile::exists(folder + "/ffmpeg"));
    QVERIFY(!QFile::exists(folder + "/." + tool + ".download"));
}

void MediaInstallerTest::systemToolsLinked()
{
    // The system's tools: PATH entries that are links to versioned files elsewhere.
    QDir().mkpath(path("system/real"));
    QDir().mkpath(path("system/bin"));
    for (const QString tool : {"ffmpeg", "ffplay", "ffprobe"}) {
        writeTool(path("system/real/") + tool + "-5.1", tool);
        QFile::link(path("system/real/") + tool + "-5.1", path("system/bin/") + tool);
    }
    const QString folder = freshFolder("linked");
    QFile stale(folder + "/ffprobe");
    QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("stale"));
    stale.close();
    QString error;
    QVERIFY(
        SystemToolLinker({path("empty"), path("system/bin")}).linkInto(folder, &error, handler()));
    QCOMPARE(messages(), (QStringList{"Check and install ffmpeg.", "Check and install ffplay.",
                                      "Check and install ffprobe.", "All app have installed."}));
    for (const QString tool : {"ffmpeg", "ffplay", "ffprobe"})
        QCOMPARE(QFileInfo(folder + "/" + tool).symLinkTarget(),
                 path("system/real/") + tool + "-5.1");
    QCOMPARE(QDir(folder).entryList(QDir::System | QDir::Files | QDir::Hidden).size(), 3);

    // Through the facade, with the PATH of the environment.
    const QByteArray previous = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(path("system/bin")));
    m_messages.clear();
    const bool linked = NSffmpeg::installSystemTools(folder, &error, handler());
    qputenv("PATH", previous);
    QVERIFY(linked);
    QCOMPARE(messages().last(), QStringLiteral("All app have installed."));
}

void MediaInstallerTest::systemToolsSkipWorkingFolderOnPath()
{
    // ~/bin as the working folder, first on PATH, holding links from an earlier run.
    const QString folder = freshFolder("home-bin");
    QString error;
    const SystemToolLinker linker({folder, path("system/bin")});
    QVERIFY(linker.linkInto(folder, &error, handler()));
    QVERIFY(linker.linkInto(folder, &error, handler()));
    QCOMPARE(QFileInfo(folder + "/ffmpeg").symLinkTarget(), path("system/real/ffmpeg-5.1"));
    QCOMPARE(NSterminal::order(folder + "/ffmpeg", {"-version"}),
             QStringLiteral("ffmpeg version 9\n"));

    // With only the working folder on PATH there is nothing to link to, not a link to itself.
    const QString alone = freshFolder("alone");
    writeTool(alone + "/ffmpeg", "ffmpeg");
    m_messages.clear();
    QVERIFY(!SystemToolLinker({alone}).linkInto(alone, &error, handler()));
    QVERIFY(error.startsWith("ffmpeg NOT Found"));
    QVERIFY(!QFileInfo(alone + "/ffmpeg").isSymLink());
}

void MediaInstallerTest::systemToolMissingOrBroken()
{
    QDir().mkpath(path("partial-system"));
    writeTool(path("partial-system/ffmpeg"), "ffmpeg");
    FakeExecutable::write(path("partial-system/ffprobe"), "exit 1\n");
    const QString folder = freshFolder("partial-linked");
    QString error;
    QVERIFY(!SystemToolLinker({path("partial-system")}).linkInto(folder, &error, handler()));
    QVERIFY(error.contains("ffplay") && error.contains("package ffmpeg"));
    QCOMPARE(messages().last(), error);
    QVERIFY(!messages().contains("All app have installed."));

    writeTool(path("partial-system/ffplay"), "ffplay");
    QVERIFY(!SystemToolLinker({path("partial-system")}).linkInto(folder, &error, handler()));
    QVERIFY(error.contains("ffprobe") && error.contains("-version"));
}

QTEST_GUILESS_MAIN(MediaInstallerTest)
#include "tst_media_installer.moc"
