// In-process frames and durations on generated media.
#include "media/NSTavoTools.h"
#include "media/VideoFrameSource.h"
#include "support/LogCapture.h"
#include "support/MediaFactory.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestMediaFrames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keyFrameAtOrBeforeTime();
    void timesCountFromContainerStart();
    void rotationUpright();
    void noVideoGivesNothing();
    void durations();
    void tooSimplePictures();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QImage frame(const QString &name, qint64 milliseconds) const
    {
        return QImage::fromData(NSTavoTools::loadThumbnailBymacOSVideo(
                                    QUrl::fromLocalFile(path(name)), {milliseconds, 1000}),
                                "JPEG");
    }

    QTemporaryDir m_dir;
};

void TestMediaFrames::initTestCase()
{
    QVERIFY(MediaFactory::makeClip(path("clip.mp4"), 10, "640x360"));
    QVERIFY(MediaFactory::makeBlackStart(path("black-cut.mp4"), 10, false));
    QVERIFY(MediaFactory::makeBlackStart(path("black-one-key.mp4"), 10, true));
    QVERIFY(MediaFactory::makeRotated(path("rotated.mp4")));
    QVERIFY(MediaFactory::ffmpeg({"-ss", "0.5", "-i", path("rotated.mp4"), "-frames:v", "1",
                                  path("rotated-by-ffmpeg.png")}));
    QVERIFY(MediaFactory::remux(path("clip.mp4"), path("clip.ts"), {"-c", "copy", "-f", "mpegts"}));
    QVERIFY(MediaFactory::makeTone(path("tone.m4a"), 3));
    QVERIFY(MediaFactory::ffmpeg({"-i", path("tone.m4a"), "-i", path("rotated-by-ffmpeg.png"),
                                  "-map", "0", "-map", "1", "-c", "copy", "-disposition:v",
                                  "attached_pic", path("tone-cover.m4a")}));
    QVERIFY(MediaFactory::makeClip(path("uhd.mp4"), 0.4, "3840x2160"));
    QFile text(path("not-a-video.mp4"));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("plain text\n") > 0);
}

void TestMediaFrames::keyFrameAtOrBeforeTime()
{
    QCOMPARE(VideoFrameSource(path("clip.mp4")).keyFrameAt(5.1).time.value, qint64(5000));
    QCOMPARE(frame("clip.mp4", 5100).size(), QSize(640, 360));
    QCOMPARE(frame("uhd.mp4", 100).size(), QSize(3840, 2160));
    // Key frames at 0 and at the scene cut (3 s): black before it, the picture after it.
    QVERIFY(NSTavoTools::isImageTooSimple(frame("black-cut.mp4", 100)));
    QVERIFY(!frame("black-cut.mp4", 100).isNull());
    QVERIFY(!NSTavoTools::isImageTooSimple(frame("black-cut.mp4", 3100)));
    // Two or more whole seconds from the key frame: nothing, so the caller asks ffmpeg.
    QVERIFY(frame("black-cut.mp4", 5100).isNull());
    QVERIFY(frame("black-one-key.mp4", 3100).isNull());
}

void TestMediaFrames::timesCountFromContainerStart()
{
    // MPEG-TS starts at 1.4 s; its first frame reads as 0. (Without an index a seek may land a
    // key frame later than asked, which the one-second rule then judges.)
    const VideoFrameSource::Frame first = VideoFrameSource(path("clip.ts")).keyFrameAt(0);
    QVERIFY(!first.image.isNull());
    QCOMPARE(first.time.wholeSeconds(), qint64(0));
}

void TestMediaFrames::rotationUpright()
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

void TestMediaFrames::noVideoGivesNothing()
{
    LogCapture log;
    QVERIFY(frame("tone.m4a", 100).isNull());
    QVERIFY(log.containsPart("Error extracting image: "));
    QVERIFY(frame("tone-cover.m4a", 100).isNull()); // cover art is not the video
    QVERIFY(frame("not-a-video.mp4", 100).isNull());
    QVERIFY(frame("missing.mp4", 100).isNull());
}

void TestMediaFrames::durations()
{
    QCOMPARE(NSTavoTools::loadDurationBymacOSVideo(QUrl::fromLocalFile(path("clip.mp4"))), 10.0f);
    QCOMPARE(NSTavoTools::loadDurationBymacOSVideo(QUrl::fromLocalFile(path("tone.m4a"))), 3.0f);
    // Under a second truncates to 0, which means no duration.
    for (const QString name : {"uhd.mp4", "not-a-video.mp4", ""}) {
        const QUrl url = QString(name).isEmpty() ? QUrl() : QUrl::fromLocalFile(path(name));
        QCOMPARE(NSTavoTools::loadDurationBymacOSVideo(url), NSTavoTools::noDurationMark);
    }
}

void TestMediaFrames::tooSimplePictures()
{
    // Two flat blocks (as a title card's background) against a natural picture, both as JPEG.
    QVERIFY(MediaFactory::ffmpeg({"-f", "lavfi", "-i",
                                  "color=c=0x2050a0:s=640x360,drawbox=y=180:color=0xe0e0e0:t=fill",
                                  "-frames:v", "1", path("blocks.jpg")}));
    QVERIFY(MediaFactory::ffmpeg(
        {"-f", "lavfi", "-i", "testsrc2=s=640x360", "-frames:v", "1", path("natural.jpg")}));
    QVERIFY(NSTavoTools::isImageTooSimple(QImage(path("blocks.jpg"))));
    QVERIFY(!NSTavoTools::isImageTooSimple(QImage(path("natural.jpg"))));
}

QTEST_GUILESS_MAIN(TestMediaFrames)
#include "tst_media_frames.moc"
