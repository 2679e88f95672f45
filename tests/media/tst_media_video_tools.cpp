// The video tools' controller on real media: preview, thumbnail, trim in place and re-encode,
// and every way they must leave the source as it was.
#include "media/NSTavoTools.h"
#include "media/NSVideoToolController.h"
#include "media/VideoFrameSource.h"
#include "store/StoredSettings.h"
#include "store/TaskEvents.h"
#include "store/XCoreDataManagement.h"
#include "support/FakeExecutable.h"
#include "support/FileContents.h"
#include "support/ImageDifference.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

Q_DECLARE_METATYPE(NSVideoToolController::TrimResult)

using TrimResult = NSVideoToolController::TrimResult;

class TestMediaVideoTools : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<NSVideoToolController> m_tools;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    XCoreDataManagement &store() { return XCoreDataManagement::shared(); }
    // A working folder whose ffmpeg notes each run in "<folder>/ffmpeg-runs" and then does the
    // body (the real ffmpeg when empty).
    QString workingFolder(const QString &name, const QString &ffmpegBody = QString())
    {
        const QString folder = path(name);
        if (!QDir().mkpath(folder)) return {};
        for (const char *tool : {"yt-dlp", "ffprobe"})
            QFile::link(QStandardPaths::findExecutable(tool), QDir(folder).filePath(tool));
        const QString body =
            ffmpegBody.isEmpty()
                ? QStringLiteral("exec '%1' \"$@\"\n").arg(QStandardPaths::findExecutable("ffmpeg"))
                : ffmpegBody;
        FakeExecutable::write(folder + "/ffmpeg",
                              "echo run >> \"$(dirname \"$0\")/ffmpeg-runs\"\n" + body);
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
        return folder;
    }
    // A task of one file copied from the master into the folder.
    std::shared_ptr<XTask> taskWithCopy(const QString &master, const QString &folder)
    {
        const QString copy = QDir(folder).filePath(QFileInfo(master).fileName());
        QFile::remove(copy);
        if (!QFile::copy(master, copy)) return nullptr;
        const auto task = store().creatTaskURL("https://v.example/" + folder, QString(), QString());
        store().createFile(QUrl::fromLocalFile(copy))->setTask(task);
        store().save();
        return task;
    }
    static QByteArray digest(const QString &file)
    {
        return QCryptographicHash::hash(FileContents::read(file), QCryptographicHash::Sha256);
    }
    static int ffmpegRuns(const QString &folder)
    {
        return int(FileContents::read(QDir(folder).filePath("ffmpeg-runs")).count('\n'));
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<TrimResult>();
        TestEnvironment::isolateHome();
        QVERIFY(MediaFactory::makeClip(path("clip.mp4"), 4, "320x240"));
        QVERIFY(MediaFactory::makeTone(path("tone.m4a"), 3));
        QVERIFY(MediaFactory::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=160x120:d=2", "-c:v", "mpeg4", path("mpeg4.mp4")}));
        QVERIFY(store().open());
    }

    void init() { m_tools = std::make_unique<NSVideoToolController>(); }

    void previewShowsKeyFrameThenExactAndIsSaved()
    {
        const auto task = taskWithCopy(path("clip.mp4"), workingFolder("preview"));
        m_tools->setTask(task);
        QCOMPARE(m_tools->fileNames(), QStringList{"clip"});
        QVERIFY(!m_tools->canSaveThumbnail());
        QSignalSpy pictures(m_tools.get(), &NSVideoToolController::pictureChanged);
        QSignalSpy ended(m_tools.get(), &NSVideoToolController::previewEnded);
        // 2.4 s lies between the key frames at 2 and 3 s: the one at 2 s shows first.
        m_tools->previewAt(0.6f);
        QVERIFY(ended.wait(10000));
        QCOMPARE(pictures.size(), 2);
        VideoFrameSource direct(path("preview/clip.mp4"));
        const QImage key = direct.keyFrameAt(2.4).image;
        const QImage exact = direct.frameAt(2.4).image;
        QVERIFY(meanChannelDifference(key, exact) > 1.0);
        QCOMPARE(pictures.at(0).at(0).value<QImage>(), key);
        QCOMPARE(pictures.at(1).at(0).value<QImage>(), exact);
        QVERIFY(m_tools->canSaveThumbnail());

        QSignalSpy thumbnails(&store().events(), &TaskEvents::thumbnailChanged);
        QVERIFY(m_tools->saveThumbnail());
        QVERIFY(!m_tools->canSaveThumbnail());
        const auto file = m_tools->currentFile();
        QCOMPARE(QImage::fromData(file->thumbnail()).size(), exact.size());
        QCOMPARE(task->thumbnail(), file->thumbnail());
        QVERIFY(!task->hasChanges() && !file->hasChanges());
        QVERIFY(thumbnails.wait(5000));
        QCOMPARE(thumbnails.first().first().value<std::shared_ptr<XTask>>(), task);
    }

    void previewSupersedesAndNeverOutlivesItsFile()
    {
        const QString folder = workingFolder("supersede");
        const auto task = taskWithCopy(path("clip.mp4"), folder);
        QVERIFY(QFile::copy(path("mpeg4.mp4"), folder + "/second.mp4"));
        store().createFile(QUrl::fromLocalFile(folder + "/second.mp4"))->setTask(task);
        m_tools->setTask(task);
        QCOMPARE(m_tools->fileNames().size(), 2);
        QSignalSpy ended(m_tools.get(), &NSVideoToolController::previewEnded);
        m_tools->previewAt(0.2f);
        m_tools->previewAt(0.8f);
        QVERIFY(ended.wait(10000));
        QTest::qWait(200);
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().value<QImage>(),
                 VideoFrameSource(folder + "/clip.mp4").frameAt(3.2).image);
        // A preview made for one file is never saved onto another.
        QVERIFY(m_tools->canSaveThumbnail());
        QVERIFY(m_tools->select(1));
        QVERIFY(!m_tools->canSaveThumbnail());
        QVERIFY(!m_tools->saveThumbnail());
        // Nor one that arrives after the selection changed.
        m_tools->previewAt(0.5f);
        QVERIFY(m_tools->select(0));
        QTest::qWait(500);
        QCOMPARE(ended.size(), 1);
        QVERIFY(!m_tools->canSaveThumbnail());
    }

    void trimInPlace()
    {
        const QString folder = workingFolder("trim");
        const auto task = taskWithCopy(path("clip.mp4"), folder);
        m_tools->setTask(task);
        const auto file = m_tools->currentFile();
        const QString source = file->localFile();
        const QByteArray before = digest(source);
        const QByteArray thumbnailBefore = file->thumbnail();
        m_tools->previewAt(0.5f);
        QSignalSpy trimmed(m_tools.get(), &NSVideoToolController::trimEnded);
        QSignalSpy thumbnails(&store().events(), &TaskEvents::thumbnailChanged);
        m_tools->trim(1, 1);
        QVERIFY(m_tools->isBusy() && !m_tools->canSaveThumbnail());
        QVERIFY(trimmed.wait(20000));
        QCOMPARE(trimmed.first().first().value<TrimResult>(), TrimResult::Done);
        QVERIFY(!m_tools->canSaveThumbnail());
        QCOMPARE(file->localFile(), source);
        QCOMPARE(store().filesForTask(task), QList{file});
        QVERIFY(digest(source) != before);
        QVERIFY(!QFileInfo::exists(folder + "/swap.mp4"));
        QVERIFY(std::abs(file->duration().value_or(0) - 2.0f) < 0.3f);
        QVERIFY(!file->hasChanges());
        const float measured = VideoFrameSource(source).duration().seconds();
        QVERIFY2(std::abs(measured - 2.0f) < 0.3f, qPrintable(QString::number(measured)));
        QVERIFY(!file->thumbnail().isEmpty() && file->thumbnail() != thumbnailBefore);
        QVERIFY(thumbnails.wait(5000));
        QCOMPARE(thumbnails.first().first().value<std::shared_ptr<XTask>>(), task);
    }

    // The 4 s clip; "longer than the file" is refused at once, "less than a second kept" once
    // the file's own duration is read.
    void trimFailuresLeaveTheSource_data()
    {
        // "no video": ffmpeg exits 0 with garbage; "replace" fails; "swap held" elsewhere.
        QTest::addColumn<QString>("fault");
        QTest::addColumn<float>("head");
        QTest::addColumn<float>("tail");
        QTest::addColumn<TrimResult>("result");
        QTest::addColumn<int>("ffmpegRuns");
        const QString none;
        addRow("cut leaves no video", QString("no video"), 1.0f, 1.0f, TrimResult::CutFailed, 1);
        addRow("replace fails", QString("replace"), 1.0f, 1.0f, TrimResult::ReplaceFailed, 1);
        addRow("another trim holds the swap file", QString("swap held"), 1.0f, 1.0f,
               TrimResult::Busy, 0);
        addRow("longer than the file", none, 3.0f, 1.5f, TrimResult::TooLong, 0);
        addRow("less than a second kept", none, 2.0f, 1.5f, TrimResult::TooLong, 0);
    }

    void trimFailuresLeaveTheSource()
    {
        QFETCH(QString, fault);
        QFETCH(float, head);
        QFETCH(float, tail);
        QFETCH(TrimResult, result);
        QFETCH(int, ffmpegRuns);
        const QString garbage = "for last; do :; done\necho garbage > \"$last\"\nexit 0\n";
        const QString folder = workingFolder(QStringLiteral("fail-%1").arg(QTest::currentDataTag()),
                                             fault == "no video" ? garbage : QString());
        const auto task = taskWithCopy(path("clip.mp4"), folder);
        if (fault == "replace")
            m_tools->setFileReplacer([](const QString &, const QString &, QString *error) {
                *error = "injected";
                return false;
            });
        m_tools->setTask(task);
        m_tools->waitForJobs();
        const auto file = m_tools->currentFile();
        const QString source = file->localFile();
        const QByteArray before = digest(source);
        const std::optional<float> duration = file->duration();
        const QByteArray thumbnail = file->thumbnail();
        const int runsBefore = this->ffmpegRuns(folder);
        bool heldElsewhere = false;
        const auto otherTrim =
            fault == "swap held"
                ? task->store()->claimDestination(folder + "/swap.mp4", &heldElsewhere)
                : nullptr;
        QSignalSpy trimmed(m_tools.get(), &NSVideoToolController::trimEnded);
        m_tools->trim(head, tail);
        QVERIFY(trimmed.size() == 1 || trimmed.wait(20000));
        QCOMPARE(trimmed.first().first().value<TrimResult>(), result);
        QCOMPARE(digest(source), before);
        QCOMPARE(file->duration(), duration);
        QCOMPARE(file->thumbnail(), thumbnail);
        QCOMPARE(file->localFile(), source);
        QVERIFY(!QFileInfo::exists(folder + "/swap.mp4"));
        QCOMPARE(this->ffmpegRuns(folder) - runsBefore, ffmpegRuns);
        QVERIFY(!m_tools->isBusy());
    }

    // staleCodec: what an old record says (empty: what ffprobe says); destroy: the application
    // quits mid-encode; shownDomain: empty for success.
    void reencode_data()
    {
        QTest::addColumn<QString>("master");
        QTest::addColumn<QString>("staleCodec");
        QTest::addColumn<bool>("destroy");
        QTest::addColumn<QString>("shownDomain");
        const QString mpeg4 = path("mpeg4.mp4"), none;
        addRow("mpeg4 becomes h264", mpeg4, none, false, none);
        addRow("audio only gives no video", path("tone.m4a"), QString("mpeg4"), false,
               NSVideoToolController::encodeFailedText);
        addRow("controller destroyed", mpeg4, none, true, none);
    }

    void reencode()
    {
        QFETCH(QString, master);
        QFETCH(QString, staleCodec);
        QFETCH(bool, destroy);
        QFETCH(QString, shownDomain);
        const QString folder = workingFolder(
            QStringLiteral("encode-%1").arg(QTest::currentDataTag()).replace(' ', '-'));
        const auto task = taskWithCopy(master, folder);
        m_tools->setTask(task);
        m_tools->waitForJobs();
        const auto file = m_tools->currentFile();
        if (!staleCodec.isEmpty()) file->setVideoEncodeName(staleCodec);
        const QString source = file->localFile();
        const QString output =
            QDir(folder).filePath(QFileInfo(source).completeBaseName() + "_h264.mp4");
        QVERIFY(m_tools->canReencode());
        QSignalSpy ended(m_tools.get(), &NSVideoToolController::encodeEnded);
        QVERIFY(m_tools->startEncode());
        QVERIFY(m_tools->isBusy() && !m_tools->select(0) && !m_tools->canReencode());
        if (destroy) {
            m_tools.reset();
            QVERIFY(QFileInfo::exists(source));
            QVERIFY(!QFileInfo::exists(output));
            QCOMPARE(file->localFile(), source);
            return;
        }
        QVERIFY(ended.wait(60000));
        const auto error = ended.first().first().value<std::optional<EncodeError>>();
        QVERIFY(!m_tools->isBusy());
        if (shownDomain.isEmpty()) {
            QVERIFY2(!error, qPrintable(error ? error->description() : QString()));
            QVERIFY(!QFileInfo::exists(source));
            QCOMPARE(file->localFile(), output);
            QCOMPARE(file->videoEncodeName(), "h264");
            QVERIFY(!file->hasChanges());
            QCOMPARE(m_tools->fileNames(), QStringList{QFileInfo(output).fileName()});
            QVERIFY(!m_tools->canReencode());
            return;
        }
        QVERIFY(error.has_value());
        QCOMPARE(error->domain, shownDomain);
        QVERIFY(QFileInfo::exists(source));
        QVERIFY(!QFileInfo::exists(output));
        QCOMPARE(file->localFile(), source);
    }

    // No working folder: nothing happens, and no path is built from an empty folder (the pane's
    // test covers a task without files).
    void nothingWithoutFolder()
    {
        QFile::remove("/swap.mp4");
        QSignalSpy trimmed(m_tools.get(), &NSVideoToolController::trimEnded);
        const auto task = taskWithCopy(path("clip.mp4"), workingFolder("nofolder"));
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, QString());
        m_tools->setTask(task);
        QVERIFY(m_tools->workingFolder().isEmpty() && m_tools->currentFile());
        QVERIFY(!m_tools->canTrim() && !m_tools->canReencode() && !m_tools->startEncode());
        m_tools->trim(1, 1);
        QCOMPARE(trimmed.takeFirst().first().value<TrimResult>(), TrimResult::NoTools);
        QVERIFY(!QFileInfo::exists("/swap.mp4"));
    }
};

QTEST_GUILESS_MAIN(TestMediaVideoTools)
#include "tst_media_video_tools.moc"
