// The ffmpeg installation: links in the working folder to the system's own tools.
#include "media/NSffmpeg.h"
#include "media/SystemToolLinker.h"
#include "support/FakeExecutable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace
{
const QStringList tools = {"ffmpeg", "ffplay", "ffprobe"};
} // namespace

class TestMediaInstaller : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_messages.clear();
        m_error.clear();
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
        QCOMPARE(m_messages.mid(4),
                 (QStringList{"Check and install ffmpeg.", "Check and install ffplay.",
                              "Check and install ffprobe.", "All app have installed."}));
        for (const QString &tool : tools)
            QCOMPARE(QFileInfo(folder + "/" + tool).symLinkTarget(),
                     path("system/real/") + tool + "-5.1");
        QCOMPARE(QDir(folder).entryList(QDir::System | QDir::Files | QDir::Hidden).size(), 3);

        // Through the facade, with the environment's PATH.
        const QByteArray previous = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(path("system/bin")));
        const bool linked = NSffmpeg::installSystemTools(freshFolder("other"), &m_error, handler());
        qputenv("PATH", previous);
        QVERIFY(linked);
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
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
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
    QTemporaryDir m_dir;
    QStringList m_messages;
    QString m_error;
};

QTEST_GUILESS_MAIN(TestMediaInstaller)
#include "tst_media_installer.moc"
