// Exact frames in process against what "ffmpeg -ss T -i FILE -frames:v 1" writes, on a clip
// whose key frames are 10 s apart, asked in an order that goes forward, back and past a key.
#include "MediaSamples.h"
#include "media/NSTavoTools.h"
#include "media/ThumbnailChooser.h"
#include "media/VideoFrameSource.h"
#include "support/ImageDifference.h"
#include "support/TestEnvironment.h"

#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

class TestMediaExactFrames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(MediaSamples::video(m_dir.filePath("far-keys.mp4"), "testsrc2=s=320x240:r=25:d=12",
                                    {"-preset", "veryfast", "-g", "250", "-sc_threshold", "0"}));
        m_shared = std::make_unique<VideoFrameSource>(m_dir.filePath("far-keys.mp4"));
    }

    void asFfmpegGivesIt_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<qint64>("frameMs"); // the first frame at or after the time (25 fps)
        QTest::addColumn<qint64>("keyMs");   // the key frame the decoding starts from
        QTest::newRow("2.53 s") << 2.53 << qint64(2560) << qint64(0);
        QTest::newRow("7.77 s, on from the last") << 7.77 << qint64(7800) << qint64(0);
        QTest::newRow("4 s, back") << 4.0 << qint64(4000) << qint64(0);
        QTest::newRow("9.99 s, last before a key") << 9.99 << qint64(10000) << qint64(0);
        QTest::newRow("10 s, a key frame") << 10.0 << qint64(10000) << qint64(10000);
        QTest::newRow("11.5 s, past the key") << 11.5 << qint64(11520) << qint64(10000);
        QTest::newRow("0 s") << 0.0 << qint64(0) << qint64(0);
    }

    void asFfmpegGivesIt()
    {
        QFETCH(double, seconds);
        QFETCH(qint64, frameMs);
        QFETCH(qint64, keyMs);
        const QString reference = m_dir.filePath(QStringLiteral("ref-%1.png").arg(seconds));
        QVERIFY(
            MediaSamples::ffmpeg({"-ss", QString::number(seconds), "-i",
                                  m_dir.filePath("far-keys.mp4"), "-frames:v", "1", reference}));
        const QImage expected(reference);
        QVERIFY(!expected.isNull());

        // A fresh source starts from the key frame and shows it first when it is not the answer.
        VideoFrameSource fresh(m_dir.filePath("far-keys.mp4"));
        std::optional<qint64> firstMs;
        const VideoFrameSource::Frame frame = fresh.frameAt(
            seconds, [&](const VideoFrameSource::Frame &first) { firstMs = first.time.value; });
        QCOMPARE(frame.time.value, frameMs);
        QCOMPARE(firstMs.value_or(frameMs), keyMs == frameMs ? frameMs : keyMs);
        QVERIFY2(meanChannelDifference(frame.image, expected) < 2.0,
                 qPrintable(QString::number(meanChannelDifference(frame.image, expected))));
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
        TestEnvironment::isolateHome();
        const QString clip = m_dir.filePath("black-one-key.mp4");
        QVERIFY(MediaSamples::blackStart(clip, 6, true));
        QVERIFY(MediaSamples::ffmpeg(
            {"-ss", "3", "-i", clip, "-frames:v", "1", "-q:v", "2", m_dir.filePath("at-3.jpg")}));
        const QImage chosen =
            QImage::fromData(ThumbnailChooser::bestThumbnail(QUrl::fromLocalFile(clip)), "JPEG");
        QVERIFY(!NSTavoTools::isImageTooSimple(chosen));
        QVERIFY(meanChannelDifference(chosen, QImage(m_dir.filePath("at-3.jpg"))) < 3.0);
    }

    void nothingPastTheEnd()
    {
        VideoFrameSource source(m_dir.filePath("far-keys.mp4"));
        QVERIFY(source.frameAt(12.5).image.isNull());
        QVERIFY(!source.errorString().isEmpty());
        QVERIFY(!source.frameAt(11.96).image.isNull()); // and still usable after the end
        QVERIFY(VideoFrameSource(m_dir.filePath("missing.mp4")).frameAt(1).image.isNull());
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<VideoFrameSource> m_shared;
};

QTEST_GUILESS_MAIN(TestMediaExactFrames)
#include "tst_media_exact_frames.moc"
