// zelvo-cli's video tools through the built binary: trim, encode (with Ctrl-C) and thumbnail
// on real media, against a history shared with this process.
#include "media/NSVideoToolController.h"
#include "media/NSffmpegConvert264.h"
#include "media/VideoFrameSource.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>

class TestCliVideoTools : public QObject
{
    Q_OBJECT

    struct Result {
        int status;
        QString out;
        QString err;
    };

    QString m_work;

    QString work(const QString &name) const { return QDir(m_work).filePath(name); }

    static Result run(const QStringList &arguments)
    {
        QProcess process;
        process.start(QCoreApplication::applicationDirPath() + "/zelvo-cli", arguments);
        process.waitForFinished(120000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    // A task of one file, written to the shared history; its id.
    QString taskOf(const QString &file) const
    {
        XCoreDataManagement store(XCoreDataManagement::defaultStorePath());
        if (!store.open()) return {};
        const auto task = store.creatTaskURL("https://v.example/" + file, QString(), QString());
        store.createFile(QUrl::fromLocalFile(work(file)))->setTask(task);
        return store.save() ? QString::number(task->rowId()) : QString();
    }

    // The file record of the task, as the history holds it now.
    template <typename Read> auto stored(const QString &id, Read read) const
    {
        XCoreDataManagement store(XCoreDataManagement::defaultStorePath());
        store.open();
        for (const auto &task : store.existHistorys()) {
            if (QString::number(task->rowId()) == id)
                return read(*task, *store.filesForTask(task).first());
        }
        return decltype(read(std::declval<XTask &>(), std::declval<XFile &>()))();
    }

    static QByteArray digest(const QString &file)
    {
        QFile data(file);
        return data.open(QIODevice::ReadOnly)
                   ? QCryptographicHash::hash(data.readAll(), QCryptographicHash::Sha256)
                   : QByteArray();
    }

private slots:
    void initTestCase()
    {
        const QString home = TestEnvironment::isolateHome();
        m_work = home + "/work";
        QVERIFY(QDir().mkpath(m_work));
        for (const char *tool : {"yt-dlp", "ffmpeg", "ffprobe"})
            QVERIFY(QFile::link(QStandardPaths::findExecutable(tool), work(tool)));
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, m_work);
        QVERIFY(MediaFactory::makeClip(work("clip.mp4"), 4));
        QVERIFY(MediaFactory::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=160x120:d=2", "-c:v", "mpeg4", work("small.mp4")}));
        QVERIFY(MediaFactory::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=1280x720:d=30", "-c:v", "mpeg4", work("long.mp4")}));
    }

    void trim()
    {
        const QString id = taskOf("clip.mp4");
        const QByteArray before = digest(work("clip.mp4"));
        Result result = run({"trim", id, "--head", "1", "--tail", "1"});
        QCOMPARE(result.status, 2); // no terminal, no --yes
        QVERIFY2(result.err.contains("--yes"), qPrintable(result.err));
        result = run({"trim", id, "--head", "nan", "--tail", "1", "--yes"});
        QCOMPARE(result.status, 2);
        result = run({"trim", id, "--head", "3", "--tail", "0.5", "--yes"});
        QVERIFY2(result.err.contains(NSVideoToolController::tooLongText), qPrintable(result.err));
        QCOMPARE(digest(work("clip.mp4")), before);

        result = run({"trim", id, "--head", "1", "--tail", "1", "--yes"});
        QVERIFY2(result.status == 0, qPrintable(result.err));
        QVERIFY2(result.out.contains(work("clip.mp4")), qPrintable(result.out));
        QVERIFY(std::abs(VideoFrameSource(work("clip.mp4")).duration().seconds() - 2.0) < 0.3);
        const float duration =
            stored(id, [](XTask &, XFile &file) { return file.duration().value_or(0); });
        QVERIFY(std::abs(duration - 2.0f) < 0.3f);
    }

    void encode()
    {
        const QString id = taskOf("small.mp4");
        const Result result = run({"encode", id});
        QVERIFY2(result.status == 0, qPrintable(result.err));
        QVERIFY(!QFileInfo::exists(work("small.mp4")));
        QVERIFY(result.out.contains(work("small_h264.mp4")));
        QCOMPARE(stored(id, [](XTask &, XFile &file) { return file.videoEncodeName(); }), "h264");
        // Already H.264 now.
        QCOMPARE(run({"encode", id}).status, 1);
    }

    void encodeCancelledByCtrlC()
    {
        const QString id = taskOf("long.mp4");
        QProcess process;
        process.start(QCoreApplication::applicationDirPath() + "/zelvo-cli", {"encode", id});
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT(
            (err += QString::fromUtf8(process.readAllStandardError())).contains("%"), 60000);
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(30000));
        err += QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitCode(), 130);
        QVERIFY2(err.contains(NSffmpegConvert264::cancelledDomain), qPrintable(err));
        QVERIFY(QFileInfo::exists(work("long.mp4")));
        QVERIFY(!QFileInfo::exists(work("long_h264.mp4")));
    }

    void thumbnail()
    {
        QVERIFY(MediaFactory::makeClip(work("pic.mp4"), 4));
        const QString id = taskOf("pic.mp4");
        QCOMPARE(run({"thumbnail", id, "--at", "2"}).status, 2);
        const Result result = run({"thumbnail", id, "--at", "0.6"});
        QVERIFY2(result.status == 0, qPrintable(result.err));
        const QImage exact = VideoFrameSource(work("pic.mp4")).frameAt(2.4).image;
        const auto [taskThumbnail, fileThumbnail] = stored(id, [](XTask &task, XFile &file) {
            return std::pair(task.thumbnail(), file.thumbnail());
        });
        QCOMPARE(taskThumbnail, fileThumbnail);
        QCOMPARE(QImage::fromData(fileThumbnail).size(), exact.size());
    }
};

QTEST_GUILESS_MAIN(TestCliVideoTools)
#include "tst_cli_videotools.moc"
