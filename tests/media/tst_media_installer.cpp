// The toolchain installers: the developer-tools/Homebrew/download chain with fake programs and
// a local server, and the links to the system's own tools.
#include "download/NSterminal.h"
#include "media/NSffmpeg.h"
#include "media/SystemToolLinker.h"
#include "support/FakeExecutable.h"
#include "support/FileContents.h"
#include "support/MediaServer.h"
#include "support/TestRows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace
{
const QStringList tools = {"ffmpeg", "ffplay", "ffprobe"};

// A file named no-xcode makes the developer tools missing.
const QString xcodeBody = "[ -e no-xcode ] && echo 'xcode-select: error: no tools' >&2 && exit 2\n"
                          "echo /Library/Developer/CommandLineTools\n";
// Installed packages are files in cellar/.
const QString brewBody = "case \"$1\" in\n"
                         "-v) echo 'Homebrew 4.1.0';;\n"
                         "list) [ -e \"cellar/$3\" ] && echo \"$3 1.0\";;\n"
                         "install) touch \"cellar/$2\";;\n"
                         "esac\n";
} // namespace

class TestMediaInstaller : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The fakes work in the test's folder.
        QVERIFY(QDir::setCurrent(m_dir.path()));
        for (const QString site : {"site/Zelvo", "site/partial/Zelvo", "site/html/Zelvo"}) {
            QVERIFY(QDir().mkpath(path(site)));
            for (const QString &tool : tools)
                writeTool(path(site) + "/" + tool, tool);
        }
        QFile::remove(path("site/partial/Zelvo/ffplay")); // the server answers 404
        QFile::remove(path("site/html/Zelvo/ffprobe"));
        touch("site/html/Zelvo/ffprobe", "<html>Service unavailable</html>\n");
        m_server = std::make_unique<MediaServer>(path("site"));
        QVERIFY(m_server->isRunning());
        m_programs.xcodeSelect = FakeExecutable::write(path("xcode-select"), xcodeBody);
        m_programs.brew = FakeExecutable::write(path("brew"), brewBody);
        m_programs.curl = "/usr/bin/curl";
        m_programs.chmod = "/bin/chmod";
        m_programs.downloadServer = m_server->url("").chopped(1);
    }

    void init()
    {
        m_messages.clear();
        m_error.clear();
        freshFolder("cellar");
        for (const QString name : {"no-xcode", "none"})
            QFile::remove(path(name));
        NSffmpeg::setInstallerPrograms(m_programs);
    }
    void cleanupTestCase() { NSffmpeg::setInstallerPrograms({}); }

    // The chain installs into a folder holding an old ffmpeg, or stops at the first failure;
    // a page that is not the tool never takes a tool's name.
    void installation_data()
    {
        QTest::addColumn<QString>("marker"); // a marker file, or "none" for no brew program
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("last"); // the last message, or how it starts
        addRow("installed", "", "", "All app have installed.");
        addRow("no developer tools", "no-xcode", "", "xcode-select tools NOT Found.");
        // Homebrew elsewhere than its one path counts as missing.
        addRow("no Homebrew program", "none", "", "brew NOT Found.");
        addRow("404 page", "", "partial", "ffplay install failed");
        addRow("not a program", "", "html", "ffprobe install failed");
    }

    void installation()
    {
        QFETCH(QString, marker);
        QFETCH(QString, server);
        QFETCH(QString, last);
        if (!marker.isEmpty()) touch(marker);
        usePrograms([&](auto &p) {
            p.downloadServer += server.isEmpty() ? "" : "/" + server;
            if (marker == "none") p.brew = path("none");
        });
        const QString folder = freshFolder("work");
        touch("work/ffmpeg", "old ffmpeg");
        const bool installs = marker.isEmpty() && server.isEmpty();
        QCOMPARE(NSffmpeg::ffmpegInstallToPath(folder, &m_error, handler()), installs);
        QVERIFY(m_messages.last().startsWith(last));
        const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        QVERIFY(!files.join(' ').contains(".download"));
        for (const QString &tool : installs ? tools : QStringList())
            QCOMPARE(NSterminal::order(folder + "/" + tool, {"-version"}), tool + " 9\n");
        if (!server.isEmpty()) {
            const QString tool = last.section(' ', 0, 0);
            QVERIFY(m_error.startsWith(tool + " install failed"));
            QVERIFY(!files.contains(tool));
        }
    }

    void systemToolsLinked()
    {
        // The system's tools are links to versioned files; the working folder (~/bin) is on PATH
        // first and holds a stale ffprobe.
        QDir().mkpath(path("system/real"));
        QDir().mkpath(path("system/bin"));
        for (const QString &tool : tools) {
            writeTool(path("system/real/") + tool + "-5.1", tool);
            QFile::link(path("system/real/") + tool + "-5.1", path("system/bin/") + tool);
        }
        const QString folder = freshFolder("home-bin");
        touch("home-bin/ffprobe", "stale");
        const SystemToolLinker linker({folder, path("system/bin")});
        QVERIFY(linker.linkInto(folder, &m_error, handler()));
        QVERIFY(linker.linkInto(folder, &m_error, handler())); // again, over its own links
        for (const QString &tool : tools)
            QCOMPARE(QFileInfo(folder + "/" + tool).symLinkTarget(),
                     path("system/real/") + tool + "-5.1");
        QCOMPARE(QDir(folder).entryList(QDir::System | QDir::Files | QDir::Hidden).size(), 3);
    }

    void systemToolMissingOrBroken()
    {
        // Only the working folder on PATH: nothing to link to, and never a link to itself.
        const QString alone = freshFolder("alone");
        writeTool(alone + "/ffmpeg", "ffmpeg");
        QVERIFY(!SystemToolLinker({alone}).linkInto(alone, &m_error, handler()));
        QVERIFY(m_error.startsWith("ffmpeg NOT Found"));
        QVERIFY(!QFileInfo(alone + "/ffmpeg").isSymLink());

        const QString system = freshFolder("partial-system");
        writeTool(system + "/ffmpeg", "ffmpeg");
        FakeExecutable::write(system + "/ffprobe", "exit 1\n");
        QVERIFY(!SystemToolLinker({system}).linkInto(freshFolder("linked"), &m_error, handler()));
        QVERIFY(m_error.contains("ffplay") && m_error.contains("package ffmpeg"));
        QCOMPARE(m_messages.last(), m_error);
        writeTool(system + "/ffplay", "ffplay");
        QVERIFY(!SystemToolLinker({system}).linkInto(path("linked"), &m_error, handler()));
        QVERIFY(m_error.contains("ffprobe") && m_error.contains("-version"));
        QVERIFY(!m_messages.contains("All app have installed."));
    }

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    NSffmpeg::Handler handler()
    {
        return [this](const QString &message) { m_messages << message; };
    }
    void touch(const QString &name, const QByteArray &content = {})
    {
        QVERIFY(FileContents::write(path(name), content));
    }
    static void writeTool(const QString &file, const QString &name)
    {
        FakeExecutable::write(file,
                              QStringLiteral("[ \"$1\" = -version ] && echo '%1 9'").arg(name));
    }
    QString freshFolder(const QString &name)
    {
        QDir(path(name)).removeRecursively();
        QDir().mkpath(path(name));
        return path(name);
    }
    void usePrograms(const std::function<void(ToolchainInstaller::Programs &)> &change)
    {
        ToolchainInstaller::Programs programs = m_programs;
        change(programs);
        NSffmpeg::setInstallerPrograms(programs);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<MediaServer> m_server;
    ToolchainInstaller::Programs m_programs;
    QStringList m_messages;
    QString m_error;
};

QTEST_GUILESS_MAIN(TestMediaInstaller)
#include "tst_media_installer.moc"
