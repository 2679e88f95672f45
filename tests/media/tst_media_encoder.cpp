// The H.264 re-encoder: its refusals, its end for every way ffmpeg can stop, progress, cancel.
#include "media/NSffmpegConvert264.h"
#include "support/FakeExecutable.h"
#include "support/LogCapture.h"
#include "support/MediaFactory.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace
{

class Recorder : public NSffmpegConvert264_ProgressDelegate
{
public:
    void encodeVideoCompleted(const QVariant &) override { ++completions; }
    void encodeVideoFailed(const std::optional<EncodeError> &error) override
    {
        ++ends;
        lastError = error;
    }
    void progressDuration(float seconds) override { progress << seconds; }

    int ends = 0;
    int completions = 0;
    std::optional<EncodeError> lastError;
    QList<float> progress;
};

} // namespace

class MediaEncoderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusals_data();
    void refusals();
    void encodesWithProgress();
    void endStatuses_data();
    void endStatuses();
    void launchFailureReachesLateDelegate();
    void progressSkipsUnreadableTimes();
    void cancelRealEncodeKeepsPlayableFile();
    void cancelWinsOverHardExitStatus();
    void cancelKillsAfterThreeInterrupts();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(path(name)); }
    QString fakeFolder(const QString &name, const QString &body);
    // Starts a job on the clip into a fresh output; the delegate is set after the start.
    bool start(NSffmpegConvert264 &encoder, Recorder &recorder, const QString &folder,
               const QString &input = "clip.mp4");

    // Starts a fake ffmpeg with that body and cancels it once its shell is running.
    bool startThenCancel(NSffmpegConvert264 &encoder, Recorder &recorder, const QString &name,
                         const QString &body);

    QTemporaryDir m_dir;
    QString m_tools;
    int m_outputs = 0;
};

void MediaEncoderTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_tools = path("tools");
    QVERIFY(QDir().mkpath(m_tools));
    QVERIFY(QFile::link(QStandardPaths::findExecutable("ffmpeg"), m_tools + "/ffmpeg"));
    QVERIFY(MediaFactory::makeClip(path("clip.mp4"), 3, "320x240"));
    QVERIFY(MediaFactory::makeClip(path("long.mp4"), 20, "640x360"));
}

QString MediaEncoderTest::fakeFolder(const QString &name, const QString &body)
{
    const QString folder = path(name);
    QDir().mkpath(folder);
    FakeExecutable::write(folder + "/ffmpeg", body);
    return folder;
}

bool MediaEncoderTest::start(NSffmpegConvert264 &encoder, Recorder &recorder, const QString &folder,
                             const QString &input)
{
    const QUrl output = url(QStringLiteral("out-%1_h264.mp4").arg(++m_outputs));
    const bool started = encoder.encodeVideo(url(input), output, folder);
    encoder.setDelegate(&recorder);
    return started;
}

bool MediaEncoderTest::startThenCancel(NSffmpegConvert264 &encoder, Recorder &recorder,
                                       const QString &name, const QString &body)
{
    if (!start(encoder, recorder, fakeFolder(name, body))) return false;
    QTest::qWait(200);
    return encoder.cancel();
}

void MediaEncoderTest::refusals_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("line");
    const QString clip = path("clip.mp4");
    const QString out = path("refused.mp4");
    QTest::newRow("no folder") << QString() << clip << out
                               << "NSffmpegConvert264 ffmpegPath can NOT nil.";
    QTest::newRow("no input") << m_tools << "" << out << "NSffmpegConvert264 inputURL can NOT nil.";
    QTest::newRow("missing input")
        << m_tools << path("gone.mp4") << out
        << "NSffmpegConvert264 inputVideo :" + path("gone.mp4") + " NOT FOUND.";
    QTest::newRow("no output") << m_tools << clip << ""
                               << "NSffmpegConvert264 outURL can NOT nil";
    QTest::newRow("output exists")
        << m_tools << clip << clip << "NSffmpegConvert264 output file " + clip + " Exist Now.";
    QTest::newRow("no ffmpeg") << path("no-tools") << clip << out
                               << "NSffmpegConvert264 ffmpeg file NOT FOUND.";
}

void MediaEncoderTest::refusals()
{
    QFETCH(QString, folder);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, line);
    const auto asUrl = [](const QString &p) {
        return p.isEmpty() ? QUrl() : QUrl::fromLocalFile(p);
    };
    NSffmpegConvert264 encoder;
    Recorder recorder;
    encoder.setDelegate(&recorder);
    LogCapture log;
    QVERIFY(!encoder.encodeVideo(asUrl(input), asUrl(output), folder));
    QCOMPARE(log.lines(), QStringList{line});
    QTest::qWait(50);
    QCOMPARE(recorder.ends, 0);
}

void MediaEncoderTest::encodesWithProgress()
{
    NSffmpegConvert264 encoder;
    Recorder recorder;
    QVERIFY(start(encoder, recorder, m_tools));
    // One job at a time: a second start would replace the running child unreported.
    QVERIFY(!encoder.encodeVideo(url("clip.mp4"), url("second_h264.mp4"), m_tools));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.ends, 1, 60000);
    QVERIFY(!recorder.lastError.has_value());
    QVERIFY(!recorder.progress.isEmpty());
    QVERIFY(std::is_sorted(recorder.progress.begin(), recorder.progress.end()));
    QVERIFY(recorder.progress.last() > 2.0f && recorder.progress.last() <= 3.1f);
    QVERIFY(QFileInfo(path(QStringLiteral("out-%1_h264.mp4").arg(m_outputs))).size() > 0);
    QCOMPARE(recorder.completions, 0);
}

void MediaEncoderTest::endStatuses_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("domain"); // empty: any non-nil error that is none of the fixed two
    QTest::newRow("unsupported encoding") << "exit 69\n" << NSffmpegConvert264::unsupportedDomain;
    QTest::newRow("interrupted") << "exit 255\n" << NSffmpegConvert264::cancelledDomain;
    QTest::newRow("other status") << "exit 3\n"
                                  << "";
    QTest::newRow("no decoder (status 1)") << "echo 'Decoder not found' >&2\nexit 1\n"
                                           << "";
    QTest::newRow("crash") << "kill -SEGV $$\n"
                           << "";
}

void MediaEncoderTest::endStatuses()
{
    QFETCH(QString, body);
    QFETCH(QString, domain);
    NSffmpegConvert264 encoder;
    Recorder recorder;
    QVERIFY(start(encoder, recorder, fakeFolder(QTest::currentDataTag(), body)));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.ends, 1, 10000);
    QVERIFY(recorder.lastError.has_value());
    if (domain.isEmpty()) {
        QVERIFY(recorder.lastError->domain != NSffmpegConvert264::unsupportedDomain);
        QVERIFY(recorder.lastError->domain != NSffmpegConvert264::cancelledDomain);
    } else {
        QCOMPARE(recorder.lastError->domain, domain);
        QCOMPARE(recorder.lastError->code, -1);
    }
    QTest::qWait(50);
    QCOMPARE(recorder.ends, 1);
}

void MediaEncoderTest::launchFailureReachesLateDelegate()
{
    const QString folder = path("not-executable");
    QDir().mkpath(folder);
    QFile plain(folder + "/ffmpeg");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    NSffmpegConvert264 encoder;
    Recorder recorder;
    LogCapture log;
    QVERIFY(start(encoder, recorder, folder));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.ends, 1, 10000);
    QVERIFY(log.contains("NSffmpegConvert264 failed."));
    QVERIFY(recorder.lastError.has_value());
    QCOMPARE(recorder.lastError->domain, QStringLiteral("NSffmpegConvert264 failed."));
    QVERIFY(!recorder.lastError->detail.isEmpty());
}

void MediaEncoderTest::progressSkipsUnreadableTimes()
{
    const QString folder =
        fakeFolder("progress", "printf 'frame=0 time=N/A bitrate=N/A\\r' >&2; sleep 0.3\n"
                               "printf 'frame=30 time=00:00:01.50 bitrate=1\\r' >&2; sleep 0.3\n"
                               "printf 'frame=60 time=00:00:0x.00 bitrate=1\\r' >&2; sleep 0.3\n"
                               "printf 'frame=90 time=00:01:02.50 bitrate=1\\r' >&2\n");
    NSffmpegConvert264 encoder;
    Recorder recorder;
    QVERIFY(start(encoder, recorder, folder));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.ends, 1, 10000);
    QCOMPARE(recorder.progress, (QList<float>{1.5f, 62.5f}));
    QVERIFY(!recorder.lastError.has_value());
}

void MediaEncoderTest::cancelRealEncodeKeepsPlayableFile()
{
    NSffmpegConvert264 encoder;
    Recorder recorder;
    LogCapture log;
    QVERIFY(start(encoder, recorder, m_tools, "long.mp4"));
    QTRY_VERIFY_WITH_TIMEOUT(!recorder.progress.isEmpty(), 30000);
    QVERIFY(encoder.cancel());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.ends, 1, 30000);
    QVERIFY(recorder.lastError.has_value());
    QCOMPARE(recorder.lastError->domain, NSffmpegConvert264::cancelledDomain);
    QVERIFY(log.lines().count("task try stop") <= 3);
    // ffmpeg stopped gracefully: the partial MP4 has its index and opens.
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                            path(QStringLiteral("out-%1_h264.mp4").arg(m_outputs))});
    QVERIFY(probe.waitForFinished(10000));
    QCOMPARE(probe.exitCode(), 0);
    QVERIFY(probe.readAllStandardOutput().trimmed().toDouble() > 0);
}

void MediaEncoderTest::cancelWinsOverHardExitStatus()
{
    // ffmpeg's hard exit after repeated interrupts is 123; it is still the user's cancel.
    NSffmpegConvert264 encoder;
    Recorder recorder;
    QVERIFY(startThenCancel(encoder, recorder, "hard-exit",
                            "trap 'exit 123' INT\nwhile :; do sleep 0.1; done\n"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.ends, 1, 10000);
    QVERIFY(recorder.lastError.has_value());
    QCOMPARE(recorder.lastError->domain, NSffmpegConvert264::cancelledDomain);
    QCOMPARE(recorder.lastError->code, -1);
}

void MediaEncoderTest::cancelKillsAfterThreeInterrupts()
{
    NSffmpegConvert264 encoder;
    Recorder recorder;
    LogCapture log;
    QVERIFY(
        startThenCancel(encoder, recorder, "deaf", "trap '' INT\nwhile :; do sleep 0.2; done\n"));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.ends, 1, 15000);
    QCOMPARE(log.lines().count("task try stop"), 3);
    QVERIFY(log.contains("task kill"));
    QCOMPARE(recorder.lastError->domain, NSffmpegConvert264::cancelledDomain);
    // A cancel after the end only marks; nothing more is reported.
    QVERIFY(encoder.cancel());
    QTest::qWait(100);
    QCOMPARE(recorder.ends, 1);
}

QTEST_GUILESS_MAIN(MediaEncoderTest)
#include "tst_media_encoder.moc"
