// The pure parts of the media toolchain: texts, colour counting, scaling, parses.
#include "media/NSMediaInfo.h"
#include "media/NSTavoTools.h"
#include "media/NSffmpegConvert264.h"
#include "media/NSffprobe.h"
#include "support/LogCapture.h"

#include <QPainter>
#include <QTest>
#include <QTimeZone>

#include <cmath>
#include <limits>

class MediaTextTest : public QObject
{
    Q_OBJECT

private slots:
    void speed_data();
    void speed();
    void duration_data();
    void duration();
    void accurateDuration_data();
    void accurateDuration();
    void date();
    void colourDiversityBoundary();
    void colourDiversityIgnoresLowBitsAndAlpha();
    void resizeRoundsToPixels();
    void alertGoesToHandlerOrLog();
    void mediaInfoDescription();
    void probeParse_data();
    void probeParse();
    void progressChunk_data();
    void progressChunk();
};

void MediaTextTest::speed_data()
{
    QTest::addColumn<quint64>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("below 1024") << quint64(1023) << "1023 Bit/s";
    QTest::newRow("1024") << quint64(1024) << "1.0 Kib/s";
    QTest::newRow("just below a Mib") << quint64(1048575) << "1024.0 Kib/s";
    QTest::newRow("a Mib") << quint64(1048576) << "1.0 Mib/s";
    QTest::newRow("no larger unit") << quint64(3) * (quint64(1) << 30) << "3072.0 Mib/s";
}

void MediaTextTest::speed()
{
    QFETCH(quint64, count);
    QTEST(NSTavoTools::stringNetworkSpeed(count), "text");
}

void MediaTextTest::duration_data()
{
    QTest::addColumn<float>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("truncated") << 59.9f << "00:00:59";
    QTest::newRow("an hour") << 3600.0f << "01:00:00";
    QTest::newRow("negative keeps its sign") << -1.5f << "00:00:-1";
    QTest::newRow("hours past two digits") << 360000.0f << "100:00:00";
    QTest::newRow("NaN reads 0") << std::numeric_limits<float>::quiet_NaN() << "00:00:00";
    QTest::newRow("infinity saturates") << std::numeric_limits<float>::infinity() << "596523:14:07";
    QTest::newRow("no-duration mark saturates") << NSTavoTools::noDurationMark << "596523:14:07";
    QTest::newRow("minus infinity saturates")
        << -std::numeric_limits<float>::infinity() << "-596523:-14:-8";
}

void MediaTextTest::duration()
{
    QFETCH(float, seconds);
    QTEST(NSTavoTools::stringForDuration(seconds), "text");
}

void MediaTextTest::accurateDuration_data()
{
    QTest::addColumn<float>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("hundredths kept") << 100.25f << "00:01:40.25";
    QTest::newRow("no leading zero below 10 s") << 65.25f << "00:01:5.25";
    QTest::newRow("rounds up into the next minute") << 119.996f << "00:02:0.00";
    QTest::newRow("rounds up into the next hour") << 3599.999f << "01:00:0.00";
    QTest::newRow("59.995 in single precision") << 59.995f << "00:00:59.99";
    QTest::newRow("NaN reads 0") << std::numeric_limits<float>::quiet_NaN() << "00:00:0.00";
    QTest::newRow("infinity saturates")
        << std::numeric_limits<float>::infinity() << "596523:14:7.00";
}

void MediaTextTest::accurateDuration()
{
    QFETCH(float, seconds);
    QTEST(NSTavoTools::stringForAccurateDuration(seconds), "text");
}

void MediaTextTest::date()
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QDateTime evening(QDate(2024, 12, 6), QTime(19, 45, 12));
    QCOMPARE(NSTavoTools::stringForDate(evening), QStringLiteral("Dec 6, 2024, 7:45:12 PM"));
    // Shown in the system's zone whatever zone the value carries.
    const QDateTime utc = evening.toUTC();
    QCOMPARE(NSTavoTools::stringForDate(utc), QStringLiteral("Dec 6, 2024, 7:45:12 PM"));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(NSTavoTools::stringForDate(evening), QStringLiteral("6. Dez. 2024, 19:45:12"));
    QLocale::setDefault(previous);
}

namespace
{

// n distinct colours after quantisation, in vertical stripes.
QImage stripes(int n)
{
    QImage image(n * 4, 8, QImage::Format_RGB32);
    for (int x = 0; x < image.width(); ++x) {
        const int level = x / 4;
        const QRgb colour = qRgb((level % 16) << 4, (level / 16) << 4, 0x80);
        for (int y = 0; y < image.height(); ++y)
            image.setPixel(x, y, colour);
    }
    return image;
}

} // namespace

void MediaTextTest::colourDiversityBoundary()
{
    QVERIFY(NSTavoTools::checkLowColorDiversity(stripes(49)));
    QVERIFY(!NSTavoTools::checkLowColorDiversity(stripes(50)));
    QVERIFY(NSTavoTools::isImageTooSimple(QImage()));
    QVERIFY(!NSTavoTools::isImageTooSimple(stripes(50)));
    // Other pixel formats are converted, not misread.
    QVERIFY(
        NSTavoTools::checkLowColorDiversity(stripes(49).convertToFormat(QImage::Format_RGB888)));
    QVERIFY(
        !NSTavoTools::checkLowColorDiversity(stripes(50).convertToFormat(QImage::Format_RGB888)));
}

void MediaTextTest::colourDiversityIgnoresLowBitsAndAlpha()
{
    // 256 shades of red differ only within 16 levels: too simple.
    QImage ramp(256, 4, QImage::Format_RGB32);
    for (int x = 0; x < 256; ++x)
        for (int y = 0; y < 4; ++y)
            ramp.setPixel(x, y, qRgb(x, 0, 0));
    QVERIFY(NSTavoTools::checkLowColorDiversity(ramp));
    // Colours are counted premultiplied: fully transparent pixels of any colour are one colour.
    QImage clear(64, 64, QImage::Format_ARGB32);
    for (int x = 0; x < 64; ++x)
        for (int y = 0; y < 64; ++y)
            clear.setPixel(x, y, qRgba(x * 4, y * 4, 0x55, 0));
    QVERIFY(NSTavoTools::checkLowColorDiversity(clear));
    QVERIFY(!NSTavoTools::checkLowColorDiversity(clear.convertToFormat(QImage::Format_RGB32)));
}

void MediaTextTest::resizeRoundsToPixels()
{
    QImage source(100, 50, QImage::Format_RGB32);
    source.fill(Qt::white);
    QPainter(&source).fillRect(0, 0, 50, 50, Qt::black);
    const QImage scaled = NSTavoTools::resizeImage(source, QSizeF(33.5, 20.4));
    QCOMPARE(scaled.size(), QSize(34, 20));
    // Stretched over the whole target: the black half stays the left half.
    QCOMPARE(QColor(scaled.pixel(2, 10)).lightness(), 0);
    QCOMPARE(QColor(scaled.pixel(31, 10)).lightness(), 255);
}

void MediaTextTest::alertGoesToHandlerOrLog()
{
    LogCapture log;
    NSTavoTools::alertMessage(QStringLiteral("ffprobe error."));
    QVERIFY(log.contains(QStringLiteral("ffprobe error.")));
    QStringList shown;
    NSTavoTools::setAlertHandler([&shown](const QString &text) { shown << text; });
    log.clear();
    NSTavoTools::alertMessage(QStringLiteral("second"));
    NSTavoTools::setAlertHandler({});
    QCOMPARE(shown, QStringList{"second"});
    QVERIFY(!log.contains(QStringLiteral("second")));
}

void MediaTextTest::mediaInfoDescription()
{
    NSMediaInfo info;
    info.setVideoWidth(1920);
    info.setVideoHeight(1080);
    info.setVideoEncodeName(QStringLiteral("h264"));
    info.setDuration(205.4f);
    info.setFps(30000.0f / 1001.0f);
    QCOMPARE(info.description(), QStringLiteral("1920 x 1080    h264  00:03:25 29.97 fps"));
    info.setDuration(0);
    info.setFps(std::numeric_limits<float>::quiet_NaN());
    QCOMPARE(info.description(), QStringLiteral("1920 x 1080    h264  00:00:00 nan fps"));
}

void MediaTextTest::probeParse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<QString>("description");
    QTest::newRow("ordinary") << "h264\nH.264 / AVC\n640\n360\n25/1\n10.000000\n"
                              << true << "640 x 360    h264  00:00:10 25.00 fps";
    QTest::newRow("NTSC rate") << "h264\nH.264\n1920\n1080\n30000/1001\n205.4\n"
                               << true << "1920 x 1080    h264  00:03:25 29.97 fps";
    QTest::newRow("0/0 rate is NaN") << "h264\nH.264\n320\n240\n0/0\n4.5\n"
                                     << true << "320 x 240    h264  00:00:04 nan fps";
    QTest::newRow("rate without slash") << "h264\nH.264\n320\n240\n25\n4.5\n"
                                        << true << "320 x 240    h264  00:00:04 0.00 fps";
    // The one-character duration is skipped; the rate piece is the last long enough.
    QTest::newRow("one-character duration") << "h264\nH.264\n320\n240\n25/1\n5\n"
                                            << true << "320 x 240    h264  00:00:25 25.00 fps";
    QTest::newRow("N/A duration") << "h264\nH.264\n320\n240\n25/1\nN/A\n"
                                  << true << "320 x 240    h264  00:00:00 25.00 fps";
    QTest::newRow("junk size") << "h264\nH.264\nwide\n12px\n25/1\n3.0\n"
                               << true << "0 x 12    h264  00:00:03 25.00 fps";
    QTest::newRow("audio only") << "3.000000\n" << false << "";
}

void MediaTextTest::probeParse()
{
    QFETCH(QString, text);
    const std::optional<NSMediaInfo> info = NSffprobe::parseVideoEncodeName(text);
    QTEST(info.has_value(), "parsed");
    if (info) QTEST(info->description(), "description");
}

void MediaTextTest::progressChunk_data()
{
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<float>("seconds"); // negative: no report
    QTest::newRow("ordinary") << "frame=  10 size= 1kB time=00:01:02.50 bitrate=1.0" << 62.5f;
    QTest::newRow("hours") << "x time=01:00:01.05 y" << 3601.05f;
    QTest::newRow("N/A") << "frame=0 time=N/A bitrate=N/A" << -1.0f;
    QTest::newRow("at the very start") << "time=00:00:03.00 bitrate" << -1.0f;
    QTest::newRow("no blank after") << "size=1kB time=00:00:03.00" << -1.0f;
    QTest::newRow("no time") << "Input #0, mov,mp4" << -1.0f;
    QTest::newRow("three numbers") << "a time=00:03.00 b" << -1.0f;
    QTest::newRow("out of range") << "a time=99999999999:00:00.00 b" << -1.0f;
    QTest::newRow("first time counts") << "a time=N/A b time=00:00:05.00 c" << -1.0f;
}

void MediaTextTest::progressChunk()
{
    QFETCH(QString, chunk);
    QFETCH(float, seconds);
    const std::optional<float> parsed = NSffmpegConvert264::progressFromChunk(chunk);
    if (seconds < 0) {
        QVERIFY(!parsed.has_value());
    } else {
        QVERIFY(parsed.has_value());
        QCOMPARE(*parsed, seconds);
    }
}

QTEST_GUILESS_MAIN(MediaTextTest)
#include "tst_media_text.moc"
