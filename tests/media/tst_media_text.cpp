// The pure parts of the media toolchain: texts, colour counting, the two parses.
#include "media/EncodeProgress.h"
#include "media/NSTavoTools.h"
#include "media/NSffmpegConvert264.h"
#include "media/NSffprobe.h"
#include "support/TestRows.h"

#include <QTest>

#include <limits>

namespace
{
constexpr float notANumber = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

// n colours that stay distinct at four bits a channel, in vertical stripes.
QImage stripes(int n)
{
    QImage image(n, 4, QImage::Format_RGB32);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < 4; ++y)
            image.setPixel(x, y, qRgb((x % 16) << 4, (x / 16) << 4, 0x80));
    return image;
}

QString probed(const QString &text)
{
    const std::optional<NSMediaInfo> info = NSffprobe::parseVideoEncodeName(text);
    return info ? info->description() : QString();
}
} // namespace

class TestMediaText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void texts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        using T = NSTavoTools;
        const QDateTime evening(QDate(2024, 12, 6), QTime(19, 45, 12));
        addRow("date", T::stringForDate(evening), "Dec 6, 2024, 7:45:12 PM");
        // Shown in the system's zone whatever zone the value carries.
        addRow("date given in UTC", T::stringForDate(evening.toUTC()), "Dec 6, 2024, 7:45:12 PM");
        // Real files give 25/1; a fraction that is not whole must not be cut.
        addRow("probe NTSC rate", probed("h264\nH.264\n1920\n1080\n30000/1001\n205.4\n"),
               "1920 x 1080    h264  00:03:25 29.97 fps");
        addRow("speed 1023", T::stringNetworkSpeed(1023), "1023 Bit/s");
        addRow("speed printed up", T::stringNetworkSpeed(1048575), "1024.0 Kib/s");
        addRow("duration truncated", T::stringForDuration(59.9f), "00:00:59");
        addRow("duration 100 h", T::stringForDuration(360000), "100:00:00");
        addRow("duration NaN", T::stringForDuration(notANumber), "00:00:00");
        addRow("accurate below 10 s", T::stringForAccurateDuration(65.25f), "00:01:5.25");
        // Never "00:59:60.00", which ffmpeg refuses as a duration.
        addRow("accurate rounds into the hour", T::stringForAccurateDuration(3599.999f),
               "01:00:0.00");
        addRow("accurate 59.995", T::stringForAccurateDuration(59.995f), "00:00:59.99");
        addRow("accurate NaN", T::stringForAccurateDuration(notANumber), "00:00:0.00");
        addRow("accurate inf saturates", T::stringForAccurateDuration(infinity), "596523:14:7.00");
    }

    void texts()
    {
        QFETCH(QString, text);
        QTEST(text, "expected");
    }

    void encodeProgress()
    {
        QCOMPARE(EncodeProgress::text(30, 60), "50.0%");
        QCOMPARE(EncodeProgress::fraction(30, 60), 0.5f);
        QCOMPARE(EncodeProgress::text(90, 60), "100.0%"); // past the end
        QCOMPARE(EncodeProgress::fraction(90, 60), 1.0f);
        QCOMPARE(EncodeProgress::text(-1, 60), "0.0%");
        QCOMPARE(EncodeProgress::fraction(-1, 60), 0.0f);
        // Without a usable duration, the seconds alone.
        for (const float duration :
             {NSTavoTools::noDurationMark, 0.0f, -5.0f, notANumber, infinity}) {
            QCOMPARE(EncodeProgress::text(7.04f, duration), "7.0 seconds.");
            QCOMPARE(EncodeProgress::fraction(7.04f, duration), 0.0f);
        }
    }

    void colourDiversity()
    {
        QVERIFY(NSTavoTools::isImageTooSimple(QImage()));
        QVERIFY(NSTavoTools::isImageTooSimple(stripes(49)));
        QVERIFY(!NSTavoTools::isImageTooSimple(stripes(50)));
        // Other pixel formats are converted, not misread.
        QVERIFY(NSTavoTools::checkLowColorDiversity(
            stripes(49).convertToFormat(QImage::Format_RGB888)));
        QVERIFY(!NSTavoTools::checkLowColorDiversity(
            stripes(50).convertToFormat(QImage::Format_RGB888)));
    }

    void progressChunk_data()
    {
        QTest::addColumn<QString>("chunk");
        QTest::addColumn<float>("seconds"); // negative: no report
        addRow("ordinary", "frame=10 size=1kB time=00:01:02.50 bitrate=1.0", 62.5f);
        addRow("hours", "x time=01:00:01.05 y", 3601.05f);
        addRow("N/A", "frame=0 time=N/A bitrate=N/A", -1.0f);
        addRow("three numbers", "a time=00:03.00 b", -1.0f);
        addRow("out of range", "a time=99999999999:00:00.00 b", -1.0f);
    }

    void progressChunk()
    {
        QFETCH(QString, chunk);
        QFETCH(float, seconds);
        QCOMPARE(NSffmpegConvert264::progressFromChunk(chunk).value_or(-1.0f), seconds);
    }
};

QTEST_GUILESS_MAIN(TestMediaText)
#include "tst_media_text.moc"
