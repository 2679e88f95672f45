// In-process frames and durations on generated media.
#include "MediaSamples.h"
#include "media/NSTavoTools.h"
#include "media/VideoFrameSource.h"
#include "support/LogCapture.h"
#include "support/MediaFactory.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class MediaFramesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void keyFrameAtOrBeforeTime();
    void farKeyFrameGivesNothing();
    void sceneCutKeyFrameIsNotTooSimple();
    void timesCountFromContainerStart();
    void rotationUpright();
    void largeFrame();
    void noVideoGivesNothing();
    void durations();
    void tooSimplePictures();
    void repeatedReadsRelease();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(path(name)); }
    static QImage jpeg(const QByteArray &bytes) { return QImage::fromData(bytes, "JPEG"); }

    QTemporaryDir m_dir;
};

void MediaFramesTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(MediaFactory::makeClip(path("clip.mp4"), 10, "640x360"));
    QVERIFY(MediaSamples::blackStart(path("black-cut.mp4"), 10, "640x360", false));
    QVERIFY(MediaSamples::blackStart(path("black-one-key.mp4"), 10, "640x360", true));
    QVERIFY(MediaSamples::rotated(path("rotated.mp4")));
    QVERIFY(MediaSamples::frameByFfmpeg(path("rotated.mp4"), 0.5, path("rotated-by-ffmpeg.png")));
    QVERIFY(MediaSamples::remux(path("clip.mp4"), path("clip.ts"), {"-c", "copy", "-f", "mpegts"}));
    QVERIFY(MediaSamples::audioOnly(path("tone.m4a"), 3));
    QVERIFY(MediaSamples::naturalPicture(path("cover.png"), "320x240"));
    QVERIFY(MediaSamples::ffmpeg({"-i", path("tone.m4a"), "-i", path("cover.png"), "-map", "0",
                                  "-map", "1", "-c", "copy", "-disposition:v", "attached_pic",
                                  path("tone-cover.m4a")}));
    QVERIFY(MediaFactory::makeClip(path("uhd.mp4"), 0.4, "3840x2160"));
    QFile text(path("not-a-video.mp4"));
    QVERIFY(text.open(QIODevice::WriteOnly) && text.write("plain text, no media\n") > 0);
}

void MediaFramesTest::keyFrameAtOrBeforeTime()
{
    VideoFrameSource source(path("clip.mp4"));
    const VideoFrameSource::Frame frame = source.keyFrameAt(5.1);
    QVERIFY(!frame.image.isNull());
    QCOMPARE(frame.time.value, qint64(5000));
    const QImage image =
        jpeg(NSTavoTools::loadThumbnailBymacOSVideo(url("clip.mp4"), {5100, 1000}));
    QCOMPARE(image.size(), QSize(640, 360));
}

void MediaFramesTest::farKeyFrameGivesNothing()
{
    // One key frame at 0: the frame for 3.1 s is 3 whole seconds off, so the caller must ask
    // ffmpeg.
    QVERIFY(
        NSTavoTools::loadThumbnailBymacOSVideo(url("black-one-key.mp4"), {3100, 1000}).isNull());
    // Key frames at 0 and at the scene cut (3 s): 5.1 s is 2 whole seconds from it.
    QVERIFY(NSTavoTools::loadThumbnailBymacOSVideo(url("black-cut.mp4"), {5100, 1000}).isNull());
    QVERIFY(!NSTavoTools::loadThumbnailBymacOSVideo(url("black-cut.mp4"), {4100, 1000}).isNull());
}

void MediaFramesTest::sceneCutKeyFrameIsNotTooSimple()
{
    const QImage black =
        jpeg(NSTavoTools::loadThumbnailBymacOSVideo(url("black-cut.mp4"), {100, 1000}));
    QVERIFY(!black.isNull());
    QVERIFY(NSTavoTools::isImageTooSimple(black));
    const QImage picture =
        jpeg(NSTavoTools::loadThumbnailBymacOSVideo(url("black-cut.mp4"), {3100, 1000}));
    QVERIFY(!picture.isNull());
    QVERIFY(!NSTavoTools::isImageTooSimple(picture));
}

void MediaFramesTest::timesCountFromContainerStart()
{
    // MPEG-TS starts at 1.4 s; its first frame must still read as time 0. (Without an index the
    // seek may land a key frame later than asked, which the one-second rule then judges.)
    const VideoFrameSource::Frame frame = VideoFrameSource(path("clip.ts")).keyFrameAt(0);
    QVERIFY(!frame.image.isNull());
    QCOMPARE(frame.time.wholeSeconds(), qint64(0));
    QVERIFY(!NSTavoTools::loadThumbnailBymacOSVideo(url("clip.ts"), {0, 1000}).isNull());
}

namespace
{

bool reddish(QRgb p)
{
    return qRed(p) > 150 && qBlue(p) < 100;
}
bool bluish(QRgb p)
{
    return qBlue(p) > 150 && qRed(p) < 100;
}

} // namespace

void MediaFramesTest::rotationUpright()
{
    const QImage expected(path("rotated-by-ffmpeg.png"));
    QCOMPARE(expected.size(), QSize(180, 320));
    const QImage image =
        jpeg(NSTavoTools::loadThumbnailBymacOSVideo(url("rotated.mp4"), {500, 1000}));
    QCOMPARE(image.size(), expected.size());
    const QPoint top(90, 40), bottom(90, 280);
    // The two halves end up one above the other, in the order ffmpeg puts them.
    QVERIFY(reddish(expected.pixel(top)) != reddish(expected.pixel(bottom)));
    QCOMPARE(reddish(image.pixel(top)), reddish(expected.pixel(top)));
    QCOMPARE(bluish(image.pixel(bottom)), bluish(expected.pixel(bottom)));
}

void MediaFramesTest::largeFrame()
{
    const QImage image = jpeg(NSTavoTools::loadThumbnailBymacOSVideo(url("uhd.mp4"), {100, 1000}));
    QCOMPARE(image.size(), QSize(3840, 2160));
    QVERIFY(!NSTavoTools::isImageTooSimple(image));
}

void MediaFramesTest::noVideoGivesNothing()
{
    LogCapture log;
    QVERIFY(NSTavoTools::loadThumbnailBymacOSVideo(url("tone.m4a"), {100, 1000}).isNull());
    QVERIFY(log.containsPart(QStringLiteral("Error extracting image: ")));
    // Cover art is a picture stream, not the video.
    QVERIFY(NSTavoTools::loadThumbnailBymacOSVideo(url("tone-cover.m4a"), {100, 1000}).isNull());
    QVERIFY(NSTavoTools::loadThumbnailBymacOSVideo(url("not-a-video.mp4"), {100, 1000}).isNull());
    QVERIFY(NSTavoTools::loadThumbnailBymacOSVideo(url("missing.mp4"), {100, 1000}).isNull());
}

void MediaFramesTest::durations()
{
    QCOMPARE(NSTavoTools::loadDurationBymacOSVideo(url("clip.mp4")), 10.0f);
    QCOMPARE(NSTavoTools::loadDurationBymacOSVideo(url("tone.m4a")), 3.0f);
    QCOMPARE(NSTavoTools::loadDurationBymacOSVideo(url("uhd.mp4")), NSTavoTools::noDurationMark);
    QCOMPARE(NSTavoTools::loadDurationBymacOSVideo(url("not-a-video.mp4")),
             NSTavoTools::noDurationMark);
    QCOMPARE(NSTavoTools::loadDurationBymacOSVideo(QUrl()), NSTavoTools::noDurationMark);
}

void MediaFramesTest::tooSimplePictures()
{
    QVERIFY(MediaSamples::twoBlockPicture(path("blocks.jpg")));
    QVERIFY(MediaSamples::naturalPicture(path("natural.jpg"), "640x360"));
    const QImage blocks(path("blocks.jpg"));
    const QImage natural(path("natural.jpg"));
    QVERIFY(!blocks.isNull() && !natural.isNull());
    QVERIFY(NSTavoTools::isImageTooSimple(blocks));
    QVERIFY(!NSTavoTools::isImageTooSimple(natural));
}

// Run with ZELVO_FRAME_REPEAT=1000 under LeakSanitizer: every FFmpeg object must be released.
void MediaFramesTest::repeatedReadsRelease()
{
    const int repeat = qEnvironmentVariableIntValue("ZELVO_FRAME_REPEAT");
    for (int i = 0; i < (repeat > 0 ? repeat : 10); ++i) {
        QVERIFY(!NSTavoTools::loadThumbnailBymacOSVideo(url("clip.mp4"), {1100, 1000}).isNull());
        QVERIFY(NSTavoTools::loadThumbnailBymacOSVideo(url("black-one-key.mp4"), {5100, 1000})
                    .isNull());
        QVERIFY(NSTavoTools::loadThumbnailBymacOSVideo(url("tone.m4a"), {100, 1000}).isNull());
    }
}

QTEST_GUILESS_MAIN(MediaFramesTest)
#include "tst_media_frames.moc"
