// ffprobe questions and ffmpeg operations, with the real tools on generated media and with fake
// tools where a failure must be forced.
#include "MediaSamples.h"
#include "media/NSTavoTools.h"
#include "media/NSffmpeg.h"
#include "media/NSffprobe.h"
#include "support/FakeExecutable.h"
#include "support/LogCapture.h"
#include "support/MediaFactory.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

class MediaToolsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void probeRealFiles();
    void probeFailures();
    void probeFakeOutputs();
    void version();
    void mergeNamesAndResult();
    void mergeFailuresLeaveNothing();
    void cutChecks_data();
    void cutChecks();
    void cutArguments();
    void cutResult();
    void failedCutsLeaveNothing_data();
    void failedCutsLeaveNothing();
    void frameChecks_data();
    void frameChecks();
    void frameArgumentsAndResult();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(path(name)); }
    // A folder holding a fake ffmpeg (or ffprobe) with that body and the real other tool.
    QString fakeFolder(const QString &name, const QString &tool, const QString &body);
    QStringList recordedArguments() const;

    QTemporaryDir m_dir;
    QString m_tools; // the real ffmpeg and ffprobe
};

void MediaToolsTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_tools = path("tools");
    QVERIFY(QDir().mkpath(m_tools));
    for (const QString tool : {"ffmpeg", "ffprobe"})
        QVERIFY(QFile::link(QStandardPaths::findExecutable(tool), m_tools + "/" + tool));
    QVERIFY(MediaFactory::makeClip(path("clip.mp4"), 10, "640x360"));
    QVERIFY(MediaSamples::remux(path("clip.mp4"), path("clip.ts"), {"-c", "copy", "-f", "mpegts"}));
    QVERIFY(MediaSamples::audioOnly(path("tone.m4a"), 3));
    QVERIFY(QFile::copy(path("clip.mp4"), path("a b [c] 视频.mp4")));
    QVERIFY(QDir().mkpath(path("merge")));
    QVERIFY(MediaSamples::remux(path("clip.mp4"), path("merge/a.mp4"), {"-an", "-c", "copy"}));
    QVERIFY(MediaSamples::remux(path("clip.mp4"), path("merge/a.m4a"), {"-vn", "-c", "copy"}));
    QVERIFY(MediaSamples::webm(path("vp8.webm"), 3));
    QVERIFY(MediaSamples::keyFramesAt(path("far-keys.mp4"), 10, "0,8.3"));
}

QString MediaToolsTest::fakeFolder(const QString &name, const QString &tool, const QString &body)
{
    const QString folder = path(name);
    QDir().mkpath(folder);
    FakeExecutable::write(folder + "/" + tool, body);
    const QString other = tool == "ffmpeg" ? "ffprobe" : "ffmpeg";
    QFile::link(m_tools + "/" + other, folder + "/" + other);
    return folder;
}

QStringList MediaToolsTest::recordedArguments() const
{
    QFile file(path("arguments.txt"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    lines.removeLast();
    return lines;
}

void MediaToolsTest::probeRealFiles()
{
    const std::optional<NSMediaInfo> clip =
        NSffprobe::videoEncodeNameFileURL(url("clip.mp4"), m_tools);
    QVERIFY(clip.has_value());
    QCOMPARE(clip->description(), QStringLiteral("640 x 360    h264  00:00:10 25.00 fps"));
    // MPEG-TS: ffprobe prints the stream block twice (program and stream); the parse still holds.
    const std::optional<NSMediaInfo> ts =
        NSffprobe::videoEncodeNameFileURL(url("clip.ts"), m_tools);
    QVERIFY(ts.has_value());
    QCOMPARE(ts->videoEncodeName(), QStringLiteral("h264"));
    QCOMPARE(ts->videoWidth(), qint64(640));
    QVERIFY(std::abs(ts->duration() - 10.0f) < 0.2f);
    // Audio only: no video answer, but a duration.
    QVERIFY(!NSffprobe::videoEncodeNameFileURL(url("tone.m4a"), m_tools).has_value());
    QVERIFY(std::abs(NSffprobe::durationMediaFileURL(url("tone.m4a"), m_tools) - 3.0f) < 0.1f);
    // Paths reach ffprobe as they are on disk, not percent-encoded.
    const QUrl fancy = url("a b [c] 视频.mp4");
    QVERIFY(std::abs(NSffprobe::durationMediaFileURL(fancy, m_tools) - 10.0f) < 0.1f);
    QVERIFY(NSffprobe::detailMediaFileURL(fancy, m_tools).contains("Metadata:"));
}

void MediaToolsTest::probeFailures()
{
    LogCapture log;
    const QString nowhere = path("no-such-folder");
    QVERIFY(NSffprobe::detailMediaFileURL(url("clip.mp4"), nowhere).isNull());
    QVERIFY(log.containsPart("detailMediaFileURL error:"));
    log.clear();
    QVERIFY(!NSffprobe::videoEncodeNameFileURL(url("clip.mp4"), QString()).has_value());
    QVERIFY(log.containsPart("videoEncodeNameFileURL error:"));
    log.clear();
    QCOMPARE(NSffprobe::durationMediaFileURL(url("clip.mp4"), nowhere),
             NSTavoTools::noDurationMark);
    // That question has always logged under the detail question's name.
    QVERIFY(log.containsPart("detailMediaFileURL error:"));
}

void MediaToolsTest::probeFakeOutputs()
{
    const QString silent = fakeFolder("probe-silent", "ffprobe", "exit 1\n");
    LogCapture log;
    QVERIFY(!NSffprobe::videoEncodeNameFileURL(url("clip.mp4"), silent).has_value());
    QVERIFY(log.contains("videoEncodeNameFileURL failed."));
    QCOMPARE(NSffprobe::durationMediaFileURL(url("clip.mp4"), silent), NSTavoTools::noDurationMark);

    const QString refusing =
        fakeFolder("probe-refusing", "ffprobe", "echo 'clip.mp4: Invalid data found' >&2\n");
    QCOMPARE(NSffprobe::durationMediaFileURL(url("clip.mp4"), refusing), 0.0f);

    const QString odd =
        fakeFolder("probe-odd", "ffprobe", "printf 'h264\\nH.264\\n320\\n240\\n0/0\\n5\\n'\n");
    const std::optional<NSMediaInfo> info = NSffprobe::videoEncodeNameFileURL(url("clip.mp4"), odd);
    QVERIFY(info.has_value());
    QVERIFY(std::isnan(info->fps()));
    QCOMPARE(info->duration(), 0.0f); // "5" is too short; "0/0" reads 0
}

void MediaToolsTest::version()
{
    QVERIFY(NSffmpeg::ffmpegInfomationAtPath(m_tools).startsWith("ffmpeg version"));
    const QString chatty = fakeFolder("version", "ffmpeg",
                                      "echo 'ffmpeg version 9'; echo 'Exiting with exit code 0'\n");
    QCOMPARE(NSffmpeg::ffmpegInfomationAtPath(chatty), QStringLiteral("ffmpeg version 9\n\n"));
    LogCapture log;
    QVERIFY(NSffmpeg::ffmpegInfomationAtPath(path("no-such-folder")).isNull());
    QVERIFY(log.containsPart("ffmpegInfomationAtPath error "));
}

void MediaToolsTest::mergeNamesAndResult()
{
    const QList<QUrl> inputs = {url("merge/a.mp4"), url("merge/a.m4a")};
    const QString first = NSffmpeg::mergeFiles(inputs, m_tools + "/ffmpeg");
    QCOMPARE(first, path("merge/a_1.mp4"));
    const std::optional<NSMediaInfo> merged =
        NSffprobe::videoEncodeNameFileURL(QUrl::fromLocalFile(first), m_tools);
    QVERIFY(merged.has_value());
    QCOMPARE(NSffmpeg::mergeFiles(inputs, m_tools + "/ffmpeg"), path("merge/a_2.mp4"));
}

void MediaToolsTest::mergeFailuresLeaveNothing()
{
    LogCapture log;
    QVERIFY(NSffmpeg::mergeFiles({url("merge/a.mp4")}, path("no-such-ffmpeg")).isNull());
    QVERIFY(log.contains("mergeFilesByffmpeg failed."));
    QVERIFY(log.containsPart("mergeFilesByffmpeg error:"));

    // ffmpeg that writes part of a file and fails: no result, and the part is gone.
    const QString failing = fakeFolder("merge-failing", "ffmpeg",
                                       "for last; do :; done\nhead -c 1000 \"$2\" > \"$last\"\n"
                                       "echo 'No space left on device' >&2\nexit 1\n");
    log.clear();
    QVERIFY(NSffmpeg::mergeFiles({url("merge/a.mp4"), url("merge/a.m4a")}, failing + "/ffmpeg")
                .isNull());
    QVERIFY(log.contains("mergeFilesByffmpeg failed."));
    QVERIFY(log.containsPart("Error log:No space left on device"));
    QVERIFY(!QFile::exists(path("merge/a_3.mp4")));

    // ffmpeg that exits 0 yet leaves an empty file.
    const QString empty =
        fakeFolder("merge-empty", "ffmpeg", "for last; do :; done\n: > \"$last\"\n");
    QVERIFY(NSffmpeg::mergeFiles({url("merge/a.mp4")}, empty + "/ffmpeg").isNull());
    QVERIFY(!QFile::exists(path("merge/a_3.mp4")));
}

void MediaToolsTest::cutChecks_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<float>("start");
    QTest::addColumn<float>("length");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("line");
    const QString clip = path("clip.mp4");
    const QString out = path("cut-refused.mp4");
    QTest::newRow("no input") << "" << out << 1.0f << 2.0f << m_tools
                              << "cutoutVideo inputURL is nil.";
    QTest::newRow("missing input") << path("gone.mp4") << out << 1.0f << 2.0f << m_tools
                                   << "cutoutVideo NOT exist:" + path("gone.mp4");
    QTest::newRow("no output") << clip << "" << 1.0f << 2.0f << m_tools
                               << "cutoutVideo outputURL is nil.";
    QTest::newRow("output exists") << clip << path("tone.m4a") << 1.0f << 2.0f << m_tools
                                   << "cutoutVideo Exist output file:" + path("tone.m4a");
    QTest::newRow("negative start")
        << clip << out << -0.5f << 2.0f << m_tools << "cutoutVideo startSecond is < 0.";
    QTest::newRow("half a second")
        << clip << out << 1.0f << 0.5f << m_tools << "cutoutVideo durationSecond is < 1.";
    QTest::newRow("no folder") << clip << out << 1.0f << 2.0f << QString()
                               << "cutoutVideo ffmpegPath is nil.";
    QTest::newRow("no ffmpeg") << clip << out << 1.0f << 2.0f << path("merge")
                               << "cutoutVideo ffmpeg NOT Exist:" + path("merge/ffmpeg");
}

void MediaToolsTest::cutChecks()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(float, start);
    QFETCH(float, length);
    QFETCH(QString, folder);
    LogCapture log;
    const auto asUrl = [](const QString &p) {
        return p.isEmpty() ? QUrl() : QUrl::fromLocalFile(p);
    };
    QVERIFY(!NSffmpeg::cutoutVideo(asUrl(input), asUrl(output), start, length, folder));
    QTEST(log.lines().value(0), "line");
    QCOMPARE(log.lines().size(), 1);
}

void MediaToolsTest::cutArguments()
{
    // Copies the input to the output so that the result passes, and records what it was told.
    const QString recorder = fakeFolder(
        "cut-recorder", "ffmpeg",
        QStringLiteral("printf '%s\\n' \"$@\" > '%1'\nfor last; do :; done\ncp \"$2\" \"$last\"\n")
            .arg(path("arguments.txt")));
    const QString output = path("cut [copy] 剪.mp4");
    QVERIFY(NSffmpeg::cutoutVideo(url("a b [c] 视频.mp4"), QUrl::fromLocalFile(output), 5.7f,
                                  100.25f, recorder));
    QCOMPARE(recordedArguments(), (QStringList{"-i", path("a b [c] 视频.mp4"), "-ss", "00:00:05",
                                               "-t", "00:01:40.25", "-c", "copy", output}));
}

void MediaToolsTest::cutResult()
{
    const QString output = path("cut.mp4");
    QVERIFY(NSffmpeg::cutoutVideo(url("clip.mp4"), QUrl::fromLocalFile(output), 2, 5.25f, m_tools));
    const std::optional<NSMediaInfo> info =
        NSffprobe::videoEncodeNameFileURL(QUrl::fromLocalFile(output), m_tools);
    QVERIFY(info.has_value());
    QVERIFY(info->duration() > 4.5f && info->duration() < 6.5f);
}

void MediaToolsTest::failedCutsLeaveNothing_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<float>("start");
    QTest::addColumn<float>("length");
    // ffmpeg exits 1 and leaves a 0-byte file (VP8/Vorbis cannot be copied into MP4).
    QTest::newRow("codec refused") << path("vp8.webm") << m_tools << 0.0f << 2.0f;
    // A full disk: part of the file, then a failure.
    QTest::newRow("truncated") << path("clip.mp4")
                               << fakeFolder(
                                      "cut-full", "ffmpeg",
                                      "for last; do :; done\nhead -c 5000 \"$2\" > \"$last\"\n"
                                      "echo 'No space left on device' >&2\nexit 1\n")
                               << 2.0f << 5.25f;
    // No key frame between 2 s and 7.25 s: ffmpeg exits 0 with no video stream at all.
    QTest::newRow("no key frame in span") << path("far-keys.mp4") << m_tools << 2.0f << 5.25f;
}

void MediaToolsTest::failedCutsLeaveNothing()
{
    QFETCH(QString, input);
    QFETCH(QString, folder);
    QFETCH(float, start);
    QFETCH(float, length);
    const QString output = path("failed-cut.mp4");
    LogCapture log;
    QVERIFY(!NSffmpeg::cutoutVideo(QUrl::fromLocalFile(input), QUrl::fromLocalFile(output), start,
                                   length, folder));
    QVERIFY(log.containsPart("cutoutVideo Log:"));
    QVERIFY(!QFile::exists(output));
}

void MediaToolsTest::frameChecks_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("ffmpeg");
    QTest::addColumn<QString>("line");
    const QString ffmpeg = m_tools + "/ffmpeg";
    const QString image = path("refused.jpg");
    QTest::newRow("no ffmpeg path")
        << image << path("clip.mp4") << QString() << "loadThumbnailInfo ffmpegPath can NOT nil.";
    QTest::newRow("no ffmpeg") << image << path("clip.mp4") << path("none/ffmpeg")
                               << "loadThumbnailInfo ffmpegPath NOT Exist.";
    QTest::newRow("no image path") << QString() << path("clip.mp4") << ffmpeg
                                   << "loadThumbnailInfo thumbnailFile can NOT nil.";
    QTest::newRow("image exists") << path("tone.m4a") << path("clip.mp4") << ffmpeg
                                  << "loadThumbnailInfo write thumbnail file " + path("tone.m4a") +
                                         " exist.";
    QTest::newRow("no video") << image << QString() << ffmpeg
                              << "loadThumbnailInfo videoURL can NOT nil.";
    QTest::newRow("cannot launch")
        << image << path("clip.mp4") << path("tone.m4a") << "ffmpeg Thumbnail error:";
}

void MediaToolsTest::frameChecks()
{
    QFETCH(QString, image);
    QFETCH(QString, video);
    QFETCH(QString, ffmpeg);
    QFETCH(QString, line);
    LogCapture log;
    const QUrl videoUrl = video.isEmpty() ? QUrl() : QUrl::fromLocalFile(video);
    QVERIFY(!NSffmpeg::loadThumbnailInfoFile(image, videoUrl, 1, ffmpeg));
    QVERIFY(log.lines().value(0).startsWith(line));
}

void MediaToolsTest::frameArgumentsAndResult()
{
    const QString image = path("frame 帧.jpg");
    QVERIFY(
        NSffmpeg::loadThumbnailInfoFile(image, url("a b [c] 视频.mp4"), 1.5f, m_tools + "/ffmpeg"));
    QCOMPARE(QImage(image).size(), QSize(640, 360));

    const QString recorder =
        fakeFolder("frame-recorder", "ffmpeg",
                   QStringLiteral("printf '%s\\n' \"$@\" > '%1'\necho 'one frame'\n")
                       .arg(path("arguments.txt")));
    LogCapture log;
    QVERIFY(NSffmpeg::loadThumbnailInfoFile(path("late.jpg"), url("clip.mp4"), 3725.9f,
                                            recorder + "/ffmpeg"));
    QCOMPARE(recordedArguments(), (QStringList{"-ss", "01:02:05", "-i", path("clip.mp4"),
                                               "-vframes", "1", "-q:v", "2", path("late.jpg")}));
    QVERIFY(log.contains("loadThumbnailInfo Result:one frame\n"));
}

QTEST_GUILESS_MAIN(MediaToolsTest)
#include "tst_media_tools.moc"
