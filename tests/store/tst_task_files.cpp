// The files of a task and the file records: recording, listing, the legacy list, moving,
// removal, merging, thumbnails and descriptions, against real files, ffmpeg and ffprobe.
#include "StoreTasks.h"

#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "support/FakeExecutable.h"
#include "support/FileContents.h"
#include "support/LogCapture.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#include <sys/stat.h>

class TestTaskFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_clip; // 2 s, 320x240, varied from the first frame

    static XCoreDataManagement &store() { return XCoreDataManagement::shared(); }
    QString path(const QString &name) const { return m_work.filePath(name); }
    bool copyClip(const QStringList &names) const
    {
        return std::all_of(names.begin(), names.end(),
                           [this](const QString &name) { return QFile::copy(m_clip, path(name)); });
    }
    static std::shared_ptr<XTask> newTask()
    {
        return savedTask(store(), "http://example.invalid/v");
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
        const QByteArray types = MediaFactory::probe(file, "stream=codec_type");
        return types.contains("video") && types.contains("audio");
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateHome();
        QVERIFY(m_work.isValid());
        // The working folder holds the tools, as setup leaves it.
        for (const char *tool : {"yt-dlp", "ffmpeg", "ffprobe"})
            QFile::link(QStandardPaths::findExecutable(tool), path(tool));
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, m_work.path());
        m_clip = path("source.mp4");
        QVERIFY(MediaFactory::makeVideoOf(m_clip, "testsrc2=size=320x240:rate=25:duration=2"));
        QVERIFY(MediaFactory::makeClip(path("clip.mp4"), 2));
        QVERIFY(
            MediaFactory::ffmpeg({"-i", path("clip.mp4"), "-an", "-c", "copy", path("video.mp4")}));
        QVERIFY(
            MediaFactory::ffmpeg({"-i", path("clip.mp4"), "-vn", "-c", "copy", path("audio.m4a")}));
        QVERIFY(store().isOpen());
    }

    void savingSkipsPiecesAndKnownNames()
    {
        QVERIFY(copyClip({"a.mp4", "b.mp4"}));
        const auto task = newTask();
        task->saveLocalFiles({path("a.mp4")});
        QCOMPARE(recordedPaths(task), QStringList{path("a.mp4")});
        // A piece, the same name again, the same name in capitals: nothing new.
        task->saveLocalFiles({path("a.mp4"), path("a.mp4.part"), path("A.MP4")});
        QCOMPARE(recordedPaths(task), QStringList{path("a.mp4")});
        task->saveLocalFiles({path("b.mp4")});
        QCOMPARE(recordedPaths(task), (QStringList{path("a.mp4"), path("b.mp4")}));
        QVERIFY(!store().hasChanges());
    }

    void legacyListBecomesRecords()
    {
        QVERIFY(copyClip({"legacy one.mp4"}));
        const auto task = newTask();
        task->setLocalFile(path("legacy one.mp4") + "\n" + path("gone.m4a"));
        const auto entries = task->loadLocalFiles();
        QCOMPARE(entries.size(), 2);
        QVERIFY(!entries.first().record);
        QCOMPARE(task->availableVideoURL(), QUrl::fromLocalFile(path("legacy one.mp4")));
        task->checkAndUpdate();
        QVERIFY(task->localFile().isNull());
        QCOMPARE(recordedPaths(task), (QStringList{path("legacy one.mp4"), path("gone.m4a")}));
        const auto files = store().filesForTask(task);
        QCOMPARE(files.at(0)->width(), std::optional<qint64>(320));
        QCOMPARE(files.at(1)->name(), QStringLiteral("gone"));
        QVERIFY(!store().hasChanges());
        // An audio piece first: the thumbnail comes from the video after it.
        const auto pieces = newTask();
        pieces->setLocalFile(path("gone.m4a") + "\n" + path("legacy one.mp4"));
        QCOMPARE(pieces->availableVideoURL(), QUrl::fromLocalFile(path("legacy one.mp4")));
    }

    void movingNeverReplacesOrLosesAFile()
    {
        QVERIFY(copyClip({"m1.mp4", "m2.mp4", "m3.mp4"}));
        const QString target = path("moved");
        QDir().mkpath(target);
        const auto task = newTask();
        task->saveLocalFiles({path("m1.mp4"), path("m2.mp4"), path("m3.mp4")});
        QVERIFY(!task->fileUnderPath(target));

        // m2's name is taken in the target: m1 moves, m2 stays where it is, the rest waits.
        QVERIFY(FileContents::write(target + "/m2.mp4", "someone else's"));
        QVERIFY(!task->moveFilesTo(target));
        QCOMPARE(recordedPaths(task),
                 (QStringList{target + "/m1.mp4", path("m2.mp4"), path("m3.mp4")}));
        QVERIFY(QFileInfo::exists(target + "/m1.mp4") && QFileInfo::exists(path("m2.mp4")));
        QCOMPARE(QFileInfo(target + "/m2.mp4").size(), 14);
        QVERIFY(!store().hasChanges());

        // A missing source is skipped and makes the answer NO; the others move.
        QFile::remove(target + "/m2.mp4");
        QFile::remove(path("m3.mp4"));
        LogCapture log;
        QVERIFY(!task->moveFilesTo(target));
        QVERIFY(log.containsPart("m3.mp4 is missing"));
        QCOMPARE(recordedPaths(task),
                 (QStringList{target + "/m1.mp4", target + "/m2.mp4", path("m3.mp4")}));
        QVERIFY(QFileInfo::exists(target + "/m2.mp4"));

        // Everything there: YES, and the files are under the folder.
        QVERIFY(copyClip({"m3.mp4"}));
        QVERIFY(task->moveFilesTo(target));
        QVERIFY(task->fileUnderPath(target));
        QVERIFY(!store().hasChanges());
    }

    void movingAcrossFileSystems()
    {
        struct stat work {
        };
        struct stat shm {
        };
        if (::stat("/dev/shm", &shm) != 0 || ::stat(QFile::encodeName(m_work.path()), &work) != 0 ||
            shm.st_dev == work.st_dev)
            QSKIP("no second file system to move to");
        QTemporaryDir other(QStringLiteral("/dev/shm/zelvo-move-XXXXXX"));
        QVERIFY(other.isValid());
        QVERIFY(copyClip({"across.mp4"}));
        const qint64 size = QFileInfo(path("across.mp4")).size();
        const auto task = newTask();
        task->saveLocalFiles({path("across.mp4")});
        QVERIFY(task->moveFilesTo(other.path()));
        QCOMPARE(recordedPaths(task), QStringList{other.filePath("across.mp4")});
        QCOMPARE(QFileInfo(other.filePath("across.mp4")).size(), size);
        QVERIFY(!QFileInfo::exists(path("across.mp4")));
        QCOMPARE(QDir(other.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"across.mp4"});
        // And back onto a name that exists there: refused, nothing lost.
        QVERIFY(copyClip({"across.mp4"}));
        QVERIFY(!task->moveFilesTo(m_work.path()));
        QVERIFY(QFileInfo::exists(other.filePath("across.mp4")));
        QCOMPARE(recordedPaths(task), QStringList{other.filePath("across.mp4")});
    }

    void removalSparesAFileAnotherTaskHas()
    {
        QVERIFY(copyClip({"shared.mp4", "own.mp4", "legacy shared.mp4"}));
        const auto first = newTask();
        first->saveLocalFiles({path("shared.mp4"), path("own.mp4"), path("legacy shared.mp4")});
        const auto second = newTask();
        second->saveLocalFiles({path("shared.mp4")});
        const auto old = newTask();
        old->setLocalFile(path("legacy shared.mp4"));
        store().save();

        LogCapture log;
        QVERIFY(store().removeItem(first));
        QVERIFY(!QFileInfo::exists(path("own.mp4")));
        QVERIFY(QFileInfo::exists(path("shared.mp4")));
        QVERIFY(QFileInfo::exists(path("legacy shared.mp4")));
        QVERIFY(log.containsPart("another task has it"));
        QVERIFY(first->isDeleted());
        QVERIFY(!store().existHistorys().contains(first));
        QCOMPARE(recordedPaths(second), QStringList{path("shared.mp4")});

        // The last one to hold it takes it along; a task being downloaded is not removed.
        QVERIFY(store().removeItem(second));
        QVERIFY(!QFileInfo::exists(path("shared.mp4")));
        const auto claim = store().claimTask(*old);
        QVERIFY(claim);
        QVERIFY(!store().removeItem(old));
        QVERIFY(!old->isDeleted());
        QVERIFY(QFileInfo::exists(path("legacy shared.mp4")));
    }

    // A large frame is shrunk for the thumbnail, and a short plain clip keeps the last frame
    // had; the details stay once the file is gone. (Which frame is chosen: tst_media_frames.)
    void thumbnailsAtTheEdgesAndDetailsOutliveTheFile()
    {
        const QString large = path("large.mp4");
        QVERIFY(MediaFactory::makeVideoOf(large, "testsrc2=size=1920x1080:rate=25:duration=1"));
        const auto task = newTask();
        task->saveLocalFiles({large});
        const auto file = store().filesForTask(task).first();
        QCOMPARE(QImage::fromData(file->thumbnail(), "JPEG").size(), QSize(1000, 563));
        QVERIFY(task->makeBestThumbnail());
        QCOMPARE(task->thumbnail(), file->thumbnail());
        const QString details = QStringLiteral("1920 x 1080    h264  00:00:01");
        QCOMPARE(file->videoDescription(), details);
        // The frame through ffmpeg, asked directly, is whole and leaves no temporary file.
        const QImage frame = QImage::fromData(
            file->loadThumbnailByffmpegVideo(QUrl::fromLocalFile(large), {100, 1000}));
        QCOMPARE(frame.size(), QSize(1920, 1080));
        QVERIFY(QDir(m_work.path()).entryList({"swap_*"}).isEmpty());

        QFile::remove(large);
        file->setLocalFile(path("renamed.mp4"));
        file->refreshExtInfo();
        QCOMPARE(file->name(), QStringLiteral("renamed"));
        QCOMPARE(file->videoDescription(), details);
        QVERIFY(!store().hasChanges()); // saved

        // 1.5 s: the tries past its end give nothing.
        const QString plain = path("plain.mp4");
        QVERIFY(MediaFactory::makeVideoOf(plain, "color=c=navy:size=320x240:rate=25:duration=1.5"));
        const auto short_ = newTask();
        short_->saveLocalFiles({plain});
        QCOMPARE(QImage::fromData(short_->firstVideoFileThumbnail()).size(), QSize(320, 240));
        // Without a video there is nothing to choose from.
        const auto empty = newTask();
        QVERIFY(!empty->makeBestThumbnail());
        QVERIFY(empty->firstVideoFileThumbnail().isNull());
    }

    void descriptionsAreTakenOnlyAsUtf8()
    {
        QVERIFY(copyClip({"good.mp4", "bad.mp4"}));
        QVERIFY(FileContents::write(path("good.description"), "Grüße\nline two"));
        QVERIFY(FileContents::write(path("bad.description"), "caf\xe9 latin-1"));
        const auto task = newTask();
        task->saveLocalFiles({path("good.mp4"), path("bad.mp4")});
        const auto files = store().filesForTask(task);
        QCOMPARE(files.at(0)->source_description(), QStringLiteral("Grüße\nline two"));
        QVERIFY(!QFileInfo::exists(path("good.description")));
        QVERIFY(files.at(1)->source_description().isNull());
        QVERIFY(QFileInfo::exists(path("bad.description")));
        QCOMPARE(task->tryDescriptionFromSource(), QStringLiteral(""));
        QVERIFY(QFileInfo::exists(path("bad.description")));

        // A description beside a file the task already had reaches the task.
        QVERIFY(FileContents::write(path("good.description"), "for the task"));
        QCOMPARE(task->tryDescriptionFromSource(), QStringLiteral("for the task"));
        QVERIFY(!QFileInfo::exists(path("good.description")));
    }

    void merge_data()
    {
        QTest::addColumn<QString>("ffmpegBody"); // empty: the real ffmpeg
        QTest::addColumn<bool>("audioNamedElsewhere");
        QTest::addColumn<bool>("merges");
        addRow("sound merge", QString(), false, true);
        addRow("audio also another task's", QString(), true, true);
        // A file that would pass every other check, and status 1: the sources must stay.
        addRow("plausible file, exit 1", "for last; do :; done\ncp \"$2\" \"$last\"\nexit 1\n",
               false, false);
        addRow("empty file, exit 0", "for last; do :; done\n: > \"$last\"\n", false, false);
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
            // Fewer than two files: nothing more to merge.
            QVERIFY(task->mergeLocalFiles().isNull());
            QCOMPARE(recordedPaths(task), QStringList{merged});
            QVERIFY(QFile::exists(merged));
        } else {
            QCOMPARE(recordedPaths(task), (QStringList{video, audio}));
            QVERIFY(QFile::exists(video) && QFile::exists(audio));
            QVERIFY(!QFile::exists(folder + "/a_1.mp4"));
            QVERIFY(log.contains("mergeFilesByffmpeg failed."));
        }
    }
};

QTEST_GUILESS_MAIN(TestTaskFiles)
#include "tst_task_files.moc"
