// In-process frames and durations on generated media, against what ffmpeg gives.
#include "media/NSTavoTools.h"
#include "media/ThumbnailChooser.h"
#include "media/VideoFrameSource.h"
#include "support/FileContents.h"
#include "support/ImageDifference.h"
#include "support/LogCapture.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"

#include <QTemporaryDir>
#include <QTest>

class TestMediaFrames : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<VideoFrameSource> m_shared;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QImage frame(const QString &name, qint64 milliseconds) const
    {
        return QImage::fromData(NSTavoTools::loadThumbnailBymacOSVideo(
                                    QUrl::fromLocalFile(path(name)), {milliseconds, 1000}),
                                "JPEG");
    }
    // The frame "ffmpeg -ss T -i FILE -frames:v 1" writes.
    QImage ffmpegFrame(const QString &name, double seconds, const QString &output)
    {
        if (!MediaFactory::ffmpeg({"-ss", QString::number(seconds), "-i", path(name), "-frames:v",
                                   "1", "-q:v", "2", path(output)}))
            return {};
        return QImage(path(output));
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateHome();
        QVERIFY(MediaFactory::makeClip(path("clip.mp4"), 10, "640x360"));
        QVERIFY(MediaFactory::makeBlackStart(path("black-cut.mp4"), 10, false));
        QVERIFY(MediaFactory::makeBlackStart(path("black-one-key.mp4"), 10, true));
        QVERIFY(MediaFactory::makeRotated(path("rotated.mp4")));
        QVERIFY(
            MediaFactory::remux(path("clip.mp4"), path("clip.ts"), {"-c", "copy", "-f", "mpegts"}));
        QVERIFY(MediaFactory::makeTone(path("tone.m4a"), 3));
        QVERIFY(!ffmpegFrame("rotated.mp4", 0.5, "rotated-by-ffmpeg.png").isNull());
        QVERIFY(MediaFactory::ffmpeg({"-i", path("tone.m4a"), "-i", path("rotated-by-ffmpeg.png"),
                                      "-map", "0", "-map", "1", "-c", "copy", "-disposition:v",
                                      "attached_pic", path("tone-cover.m4a")}));
        QVERIFY(MediaFactory::makeClip(path("uhd.mp4"), 0.4, "3840x2160"));
        QVERIFY(FileContents::write(path("not-a-video.mp4"), "plain text\n"));
        // Key frames 10 s apart.
        QVERIFY(
            MediaFactory::makeVideoOf(path("far-keys.mp4"), "testsrc2=s=320x240:r=25:d=12",
                                      {"-preset", "veryfast", "-g", "250", "-sc_threshold", "0"}));
        m_shared = std::make_unique<VideoFrameSource>(path("far-keys.mp4"));
    }

    void keyFrameAtOrBeforeTime()
    {
        QCOMPARE(VideoFrameSource(path("clip.mp4")).keyFrameAt(5.1).time.value, qint64(5000));
        QCOMPARE(frame("clip.mp4", 5100).size(), QSize(640, 360));
        QCOMPARE(frame("uhd.mp4", 100).size(), QSize(3840, 2160));
        // Key frames at 0 and at the scene cut (3 s): black before it, the picture after it.
        QVERIFY(!frame("black-cut.mp4", 100).isNull());
        QVERIFY(NSTavoTools::isImageTooSimple(frame("black-cut.mp4", 100)));
        QVERIFY(!NSTavoTools::isImageTooSimple(frame("black-cut.mp4", 3100)));
        // Two or more whole seconds from the key frame: nothing, so the caller asks ffmpeg.
        QVERIFY(frame("black-cut.mp4", 5100).isNull());
        QVERIFY(frame("black-one-key.mp4", 3100).isNull());
        // MPEG-TS starts at 1.4 s; its first frame reads as 0. (Without an index a seek may
        // land a key frame later than asked, which the one-second rule then judges.)
        const VideoFrameSource::Frame first = VideoFrameSource(path("clip.ts")).keyFrameAt(0);
        QVERIFY(!first.image.isNull());
        QCOMPARE(first.time.wholeSeconds(), qint64(0));
    }

    void rotationUpright()
    {
        const QImage expected(path("rotated-by-ffmpeg.png"));
        const QImage image = frame("rotated.mp4", 500);
        QCOMPARE(expected.size(), QSize(180, 320));
        QCOMPARE(image.size(), expected.size());
        // The halves now lie one above the other, in the order ffmpeg turns them.
        for (const QPoint &at : {QPoint(90, 40), QPoint(90, 280)}) {
            QVERIFY(qAbs(qRed(image.pixel(at)) - qRed(expected.pixel(at))) < 60);
            QVERIFY(qAbs(qBlue(image.pixel(at)) - qBlue(expected.pixel(at))) < 60);
        }
        QVERIFY(qRed(expected.pixel(90, 40)) != qRed(expected.pixel(90, 280)));
    }

    void noVideoGivesNothing()
    {
        LogCapture log;
        QVERIFY(frame("tone.m4a", 100).isNull());
        QVERIFY(log.containsPart("Error extracting image: "));
        QVERIFY(frame("tone-cover.m4a", 100).isNull()); // cover art is not the video
        QVERIFY(frame("not-a-video.mp4", 100).isNull());
        QVERIFY(frame("missing.mp4", 100).isNull());
        VideoFrameSource source(path("far-keys.mp4"));
        QVERIFY(source.frameAt(12.5).image.isNull());
        QVERIFY(!source.errorString().isEmpty());
        QVERIFY(!source.frameAt(11.96).image.isNull()); // and still usable after the end
        QVERIFY(VideoFrameSource(path("missing.mp4")).frameAt(1).image.isNull());
    }

    void durations()
    {
        QCOMPARE(NSTavoTools::loadDurationBymacOSVideo(QUrl::fromLocalFile(path("clip.mp4"))),
                 10.0f);
        QCOMPARE(NSTavoTools::loadDurationBymacOSVideo(QUrl::fromLocalFile(path("tone.m4a"))),
                 3.0f);
        // Under a second truncates to 0, which means no duration.
        for (const QString name : {"uhd.mp4", "not-a-video.mp4", ""}) {
            const QUrl url = QString(name).isEmpty() ? QUrl() : QUrl::fromLocalFile(path(name));
            QCOMPARE(NSTavoTools::loadDurationBymacOSVideo(url), NSTavoTools::noDurationMark);
        }
    }

    void tooSimplePictures()
    {
        // Two flat blocks (as a title card's background) against a natural picture, as JPEG.
        QVERIFY(MediaFactory::ffmpeg(
            {"-f", "lavfi", "-i", "color=c=0x2050a0:s=640x360,drawbox=y=180:color=0xe0e0e0:t=fill",
             "-frames:v", "1", path("blocks.jpg")}));
        QVERIFY(MediaFactory::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=640x360", "-frames:v", "1", path("natural.jpg")}));
        QVERIFY(NSTavoTools::isImageTooSimple(QImage(path("blocks.jpg"))));
        QVERIFY(!NSTavoTools::isImageTooSimple(QImage(path("natural.jpg"))));
    }

    // Asked in an order that goes forward, back and past a key frame.
    void exactFrameAsFfmpegGivesIt_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<qint64>("frameMs"); // the first frame at or after the time (25 fps)
        QTest::addColumn<qint64>("keyMs");   // the key frame the decoding starts from
        addRow("2.53 s", 2.53, qint64(2560), qint64(0));
        addRow("7.77 s, on from the last", 7.77, qint64(7800), qint64(0));
        addRow("4 s, back", 4.0, qint64(4000), qint64(0));
        addRow("9.99 s, last before a key", 9.99, qint64(10000), qint64(0));
        addRow("10 s, a key frame", 10.0, qint64(10000), qint64(10000));
        addRow("11.5 s, past the key", 11.5, qint64(11520), qint64(10000));
        addRow("0 s", 0.0, qint64(0), qint64(0));
    }

    void exactFrameAsFfmpegGivesIt()
    {
        QFETCH(double, seconds);
        QFETCH(qint64, frameMs);
        QFETCH(qint64, keyMs);
        const QImage expected =
            ffmpegFrame("far-keys.mp4", seconds, QStringLiteral("ref-%1.png").arg(seconds));
        QVERIFY(!expected.isNull());
        // A fresh source starts from the key frame and shows it first when it is not the answer.
        VideoFrameSource fresh(path("far-keys.mp4"));
        std::optional<qint64> firstMs;
        const VideoFrameSource::Frame frame = fresh.frameAt(
            seconds, [&](const VideoFrameSource::Frame &first) { firstMs = first.time.value; });
        QCOMPARE(frame.time.value, frameMs);
        QCOMPARE(firstMs.value_or(frameMs), keyMs);
        const double difference = meanChannelDifference(frame.image, expected);
        QVERIFY2(difference < 2.0, qPrintable(QString::number(difference)));
        // The key frame itself would not pass for it (the comparison can tell frames apart).
        if (keyMs != frameMs)
            QVERIFY(meanChannelDifference(fresh.keyFrameAt(seconds).image, expected) > 4.0);
        // The kept-open source, asked in the rows' order, gives the same frame.
        const VideoFrameSource::Frame again = m_shared->frameAt(seconds);
        QCOMPARE(again.time.value, frameMs);
        QCOMPARE(again.image, frame.image);
    }

    // Key frames only at 0 s: the tries at 2.1 s and 3.1 s need the exact frame. Without a
    // working folder the command cannot run, so the choice is the in-process frame at 3 s.
    void thumbnailChoiceFallsBackInProcess()
    {
        const QImage expected = ffmpegFrame("black-one-key.mp4", 3, "at-3.jpg");
        const QImage chosen = QImage::fromData(
            ThumbnailChooser::bestThumbnail(QUrl::fromLocalFile(path("black-one-key.mp4"))),
            "JPEG");
        QVERIFY(!NSTavoTools::isImageTooSimple(chosen));
        QVERIFY(meanChannelDifference(chosen, expected) < 3.0);
    }
};

QTEST_GUILESS_MAIN(TestMediaFrames)
#include "tst_media_frames.moc"
