#include "store/StoredSettings.h"

#include "support/FakeExecutable.h"
#include "support/FileContents.h"
#include "support/FuzzSeeds.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Settings = StoredSettings;

namespace
{

QString settingsFile()
{
    return QDir::homePath() + QStringLiteral("/.config/Zelvo/Zelvo.conf");
}

QString makeFolder(const QTemporaryDir &root, const QString &name, const QStringList &tools)
{
    const QString folder = root.filePath(name);
    QDir().mkpath(folder);
    for (const QString &tool : tools)
        FakeExecutable::write(QDir(folder).filePath(tool), QStringLiteral("exit 0\n"));
    return folder;
}

} // namespace

class TestStoredSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateHome(); }

    void init()
    {
        QFile::remove(settingsFile());
        for (const char *key : {Settings::KEY_WORKING_URL_DATA, Settings::KEY_FFMPEG_URL,
                                Settings::KEY_FFMPEG_VERSION, Settings::KEY_AUDO_START_DOWNLOAD})
            Settings::setValue(key, QVariant());
    }

    void cleanup() { FuzzSeeds::recordFile(settingsFile(), QStringLiteral("settings")); }

    // The folder's name holds characters a URL gives a meaning to.
    void workingFolderCountsOnlyWithYtdlpInIt()
    {
        QTemporaryDir root;
        const QString folder = makeFolder(root, QStringLiteral("a #b %41 ?c"), {"ffmpeg"});
        Settings::setFolder(Settings::KEY_WORKING_URL_DATA, folder);
        QVERIFY(Settings::ytdlpPath().isEmpty());
        QCOMPARE(Settings::ffmpegURL().toLocalFile(), folder + QStringLiteral("/ffmpeg"));
        FakeExecutable::write(QDir(folder).filePath(QStringLiteral("yt-dlp")),
                              QStringLiteral("exit 0\n"));
        QCOMPARE(Settings::ytdlpPath().toLocalFile(), folder);
        // The ffmpeg folder, when set, wins while it holds ffmpeg.
        const QString tools = makeFolder(root, QStringLiteral("tools"), {"ffmpeg"});
        Settings::setFolder(Settings::KEY_FFMPEG_URL, tools);
        QCOMPARE(Settings::ffmpegURL().toLocalFile(), tools + QStringLiteral("/ffmpeg"));
        QFile::remove(tools + QStringLiteral("/ffmpeg"));
        QVERIFY(Settings::ffmpegURL().isEmpty());
    }

    // What another process (or a person) wrote is text; it must read the same way.
    void valuesWrittenAsTextReadByConversion()
    {
        QTemporaryDir root;
        const QString folder = makeFolder(root, QStringLiteral("work"), {"yt-dlp"});
        QVERIFY(FileContents::write(settingsFile(), "[General]\nKEY_DEFAULT_REMOVE_START=2.5\n"
                                                    "KEY_DEFAULT_REMOVE_END=inf\n"
                                                    "KEY_FFMPEG_URL=https://example.com/tools\n"
                                                    "KEY_WORKING_URL_DATA=" +
                                                        QUrl::fromLocalFile(folder).toEncoded()));
        QCOMPARE(Settings::floatValue(Settings::KEY_DEFAULT_REMOVE_START), 2.5f);
        QCOMPARE(Settings::floatValue(Settings::KEY_DEFAULT_REMOVE_END), 0.0f);
        QVERIFY(Settings::folderURL(Settings::KEY_FFMPEG_URL).isEmpty());
        QCOMPARE(Settings::ytdlpPath().toLocalFile(), folder);
    }
};

QTEST_GUILESS_MAIN(TestStoredSettings)
#include "tst_stored_settings.moc"
