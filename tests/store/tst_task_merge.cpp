// A task's merge as one operation: the merged file in place of the inputs' records, the inputs
// deleted only after a sound result is saved, and nothing lost when ffmpeg fails.
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "support/FakeExecutable.h"
#include "support/LogCapture.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestTaskMerge : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_work;

    static XCoreDataManagement &store() { return XCoreDataManagement::shared(); }
    QString path(const QString &name) const { return m_work.filePath(name); }
    static bool ffmpeg(const QStringList &arguments)
    {
        return QProcess::execute("ffmpeg",
                                 QStringList{"-nostdin", "-v", "error", "-y"} + arguments) == 0;
    }
    static QStringList recordedPaths(const std::shared_ptr<XTask> &task)
    {
        QStringList paths;
        for (const auto &file : store().filesForTask(task))
            paths << file->localFile();
        return paths;
    }
    static bool hasVideoAndAudio(const QString &file)
    {
        QProcess probe;
        probe.start("ffprobe",
                    {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", file});
        if (!probe.waitForFinished(10000)) return false;
        const QByteArray types = probe.readAllStandardOutput();
        return types.contains("video") && types.contains("audio");
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateHome();
        QVERIFY(m_work.isValid());
        for (const char *tool : {"yt-dlp", "ffmpeg", "ffprobe"})
            QFile::link(QStandardPaths::findExecutable(tool), path(tool));
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, m_work.path());
        QVERIFY(MediaFactory::makeClip(path("clip.mp4"), 2));
        QVERIFY(ffmpeg({"-i", path("clip.mp4"), "-an", "-c", "copy", path("video.mp4")}));
        QVERIFY(ffmpeg({"-i", path("clip.mp4"), "-vn", "-c", "copy", path("audio.m4a")}));
        QVERIFY(store().isOpen());
    }

    void merge_data()
    {
        QTest::addColumn<QString>("ffmpegBody"); // empty: the real ffmpeg
        QTest::addColumn<bool>("audioNamedElsewhere");
        QTest::addColumn<bool>("merges");
        QTest::newRow("sound merge") << "" << false << true;
        QTest::newRow("audio also another task's") << "" << true << true;
        // A file that would pass every other check, and status 1: the sources must stay.
        QTest::newRow("plausible file, exit 1")
            << "for last; do :; done\ncp \"$2\" \"$last\"\nexit 1\n"
            << false << false;
        QTest::newRow("empty file, exit 0") << "for last; do :; done\n: > \"$last\"\n"
                                            << false << false;
    }

    void merge()
    {
        QFETCH(QString, ffmpegBody);
        QFETCH(bool, audioNamedElsewhere);
        QFETCH(bool, merges);
        const QString folder = path(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        const QString video = folder + "/a.mp4";
        const QString audio = folder + "/a.m4a";
        QVERIFY(QFile::copy(path("video.mp4"), video) && QFile::copy(path("audio.m4a"), audio));
        if (!ffmpegBody.isEmpty()) {
            const QString tools = folder + "/tools";
            QDir().mkpath(tools);
            FakeExecutable::write(tools + "/ffmpeg", ffmpegBody);
            QFile::link(path("ffprobe"), tools + "/ffprobe");
            StoredSettings::setFolder(StoredSettings::KEY_FFMPEG_URL, tools);
        }
        const auto restore = qScopeGuard(
            [] { StoredSettings::setFolder(StoredSettings::KEY_FFMPEG_URL, QString()); });

        const auto task = store().creatTaskURL("http://example.invalid/merge", "None", QString());
        task->saveLocalFiles({video, audio});
        if (audioNamedElsewhere)
            store()
                .creatTaskURL("http://example.invalid/other", "None", QString())
                ->saveLocalFiles({audio});
        QVERIFY(store().save());

        LogCapture log;
        const QString merged = task->mergeLocalFiles();
        QCOMPARE(merged.isNull(), !merges);
        if (merges) {
            QCOMPARE(merged, folder + "/a_1.mp4");
            QVERIFY(hasVideoAndAudio(merged));
            QCOMPARE(recordedPaths(task), QStringList{merged});
            QVERIFY(!store().hasChanges());
            QVERIFY(!QFile::exists(video));
            QCOMPARE(QFile::exists(audio), audioNamedElsewhere);
        } else {
            QCOMPARE(recordedPaths(task), (QStringList{video, audio}));
            QVERIFY(QFile::exists(video) && QFile::exists(audio));
            QVERIFY(!QFile::exists(folder + "/a_1.mp4"));
            QVERIFY(log.contains("mergeFilesByffmpeg failed."));
        }
    }

    void fewerThanTwoFilesMergeNothing()
    {
        const QString single = path("single.mp4");
        QVERIFY(QFile::copy(path("clip.mp4"), single));
        const auto task = store().creatTaskURL("http://example.invalid/one", "None", QString());
        task->saveLocalFiles({single});
        QVERIFY(task->mergeLocalFiles().isNull());
        QCOMPARE(recordedPaths(task), QStringList{single});
        QVERIFY(QFile::exists(single));
    }
};

QTEST_GUILESS_MAIN(TestTaskMerge)
#include "tst_task_merge.moc"
