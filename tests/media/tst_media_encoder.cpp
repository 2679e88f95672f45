// The H.264 re-encoder: its end for every way ffmpeg can stop, progress, and cancel.
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
    void encodeVideoCompleted(const QVariant &) override { ++ends; }
    void encodeVideoFailed(const std::optional<EncodeError> &error) override
    {
        ++ends;
        lastError = error;
    }
    void progressDuration(float seconds) override { progress << seconds; }

    int ends = 0;
    std::optional<EncodeError> lastError;
    QList<float> progress;
};
} // namespace

class TestMediaEncoder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void encodesWithProgress();
    void endStatuses_data();
    void endStatuses();
    void launchFailureReachesLateDelegate();
    void cancelRealEncodeKeepsPlayableFile();
    void cancelWinsOverAnyStatus_data();
    void cancelWinsOverAnyStatus();
    void destructionCancelsAndReports();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString fakeFolder(const QString &body);
    // Starts a job into a fresh output, setting the delegate only after the start.
    bool start(const QString &folder, const QString &input = "clip.mp4");
    QString lastOutput() const { return path(QStringLiteral("out-%1_h264.mp4").arg(m_outputs)); }

    QTemporaryDir m_dir;
    QString m_tools;
    int m_outputs = 0;
    std::unique_ptr<NSffmpegConvert264> m_encoder;
    Recorder m_recorder;
};

void TestMediaEncoder::initTestCase()
{
    m_tools = path("tools");
    QVERIFY(QDir().mkpath(m_tools));
    QVERIFY(QFile::link(QStandardPaths::findExecutable("ffmpeg"), m_tools + "/ffmpeg"));
    QVERIFY(QFile::link(QStandardPaths::findExecutable("ffprobe"), m_tools + "/ffprobe"));
    QVERIFY(MediaFactory::makeClip(path("clip.mp4"), 3, "320x240"));
    QVERIFY(MediaFactory::makeClip(path("long.mp4"), 20, "640x360"));
    QProcess mpeg4;
    mpeg4.start("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "testsrc2=s=160x120:d=1", "-c:v",
                           "mpeg4", path("mpeg4.mp4")});
    QVERIFY(mpeg4.waitForFinished(30000) && mpeg4.exitCode() == 0);
}

QString TestMediaEncoder::fakeFolder(const QString &body)
{
    const QString folder = path(QStringLiteral("fake-%1").arg(m_outputs));
    QDir().mkpath(folder);
    FakeExecutable::write(folder + "/ffmpeg", body);
    QFile::link(m_tools + "/ffprobe", folder + "/ffprobe"); // the result's judge
    return folder;
}

bool TestMediaEncoder::start(const QString &folder, const QString &input)
{
    m_encoder = std::make_unique<NSffmpegConvert264>();
    m_recorder = Recorder();
    ++m_outputs;
    const bool started = m_encoder->encodeVideo(QUrl::fromLocalFile(path(input)),
                                                QUrl::fromLocalFile(lastOutput()), folder);
    m_encoder->setDelegate(&m_recorder);
    return started;
}

void TestMediaEncoder::encodesWithProgress()
{
    QVERIFY(start(m_tools));
    // One job at a time: a second start would replace the running child unreported.
    QVERIFY(!m_encoder->encodeVideo(QUrl::fromLocalFile(path("clip.mp4")),
                                    QUrl::fromLocalFile(path("second.mp4")), m_tools));
    // An existing output is refused (the caller deletes a leftover first).
    LogCapture log;
    QVERIFY(!NSffmpegConvert264().encodeVideo(QUrl::fromLocalFile(path("clip.mp4")),
                                              QUrl::fromLocalFile(path("clip.mp4")), m_tools));
    QCOMPARE(log.lines(),
             QStringList{"NSffmpegConvert264 output file " + path("clip.mp4") + " Exist Now."});
    QTRY_COMPARE_WITH_TIMEOUT(m_recorder.ends, 1, 60000);
    QVERIFY(!m_recorder.lastError.has_value());
    QVERIFY(!m_recorder.progress.isEmpty());
    QVERIFY(std::is_sorted(m_recorder.progress.begin(), m_recorder.progress.end()));
    QVERIFY(m_recorder.progress.last() > 2.0f && m_recorder.progress.last() <= 3.1f);
    QVERIFY(QFileInfo(lastOutput()).size() > 0);
}

void TestMediaEncoder::endStatuses_data()
{
    QTest::addColumn<QString>("body");
    // empty: ffmpeg failed otherwise; "unverified": it exited 0 without a sound H.264 result
    QTest::addColumn<QString>("domain");
    QTest::newRow("unsupported encoding") << "exit 69\n" << NSffmpegConvert264::unsupportedDomain;
    QTest::newRow("interrupted") << "exit 255\n" << NSffmpegConvert264::cancelledDomain;
    QTest::newRow("other status") << "exit 3\n"
                                  << "";
    QTest::newRow("no decoder") << "echo 'Decoder not found' >&2\nexit 1\n"
                                << "";
    QTest::newRow("crash") << "kill -SEGV $$\n"
                           << "";
    const QString writeLast = "for last; do :; done\ncp '%1' \"$last\"\nexit 0\n";
    QTest::newRow("unreadable progress, success")
        << "printf 'frame=0 time=N/A bitrate=N/A\\r' >&2\n" + writeLast.arg(path("clip.mp4"))
        << "none";
    QTest::newRow("exit 0 without a file") << "exit 0\n"
                                           << "unverified";
    QTest::newRow("exit 0 with other video") << writeLast.arg(path("mpeg4.mp4")) << "unverified";
}

void TestMediaEncoder::endStatuses()
{
    QFETCH(QString, body);
    QFETCH(QString, domain);
    QVERIFY(start(fakeFolder(body)));
    QTRY_COMPARE_WITH_TIMEOUT(m_recorder.ends, 1, 10000);
    QTest::qWait(50);
    QCOMPARE(m_recorder.ends, 1);
    QVERIFY(m_recorder.progress.isEmpty());
    if (domain == "none")
        QVERIFY(!m_recorder.lastError.has_value());
    else if (domain == "unverified")
        QVERIFY(m_recorder.lastError.value().domain.startsWith("NSffmpegConvert264 the output") ||
                m_recorder.lastError->domain == "NSffmpegConvert264 no output file.");
    else if (!domain.isEmpty())
        QCOMPARE(m_recorder.lastError.value().domain, domain);
    else
        QVERIFY(m_recorder.lastError.value().domain.startsWith("NSffmpegConvert264 ffmpeg "));
}

void TestMediaEncoder::launchFailureReachesLateDelegate()
{
    const QString folder = path("not-executable");
    QDir().mkpath(folder);
    QVERIFY(QFile(folder + "/ffmpeg").open(QIODevice::WriteOnly));
    LogCapture log;
    QVERIFY(start(folder));
    QTRY_COMPARE_WITH_TIMEOUT(m_recorder.ends, 1, 10000);
    QVERIFY(log.contains("NSffmpegConvert264 failed."));
    QCOMPARE(m_recorder.lastError.value().domain, QStringLiteral("NSffmpegConvert264 failed."));
    QVERIFY(!m_recorder.lastError->detail.isEmpty());
}

void TestMediaEncoder::cancelRealEncodeKeepsPlayableFile()
{
    LogCapture log;
    QVERIFY(start(m_tools, "long.mp4"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_recorder.progress.isEmpty(), 30000);
    QVERIFY(m_encoder->cancel());
    QTRY_COMPARE_WITH_TIMEOUT(m_recorder.ends, 1, 30000);
    QCOMPARE(m_recorder.lastError.value().domain, NSffmpegConvert264::cancelledDomain);
    QVERIFY(log.lines().count("task try stop") <= 3);
    // ffmpeg stopped gracefully: the partial MP4 has its index and opens.
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                            lastOutput()});
    QVERIFY(probe.waitForFinished(10000));
    QVERIFY(probe.readAllStandardOutput().trimmed().toDouble() > 0);
}

void TestMediaEncoder::cancelWinsOverAnyStatus_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("interrupts");
    // ffmpeg's hard exit after repeated interrupts is 123: still the user's cancel.
    QTest::newRow("hard exit") << "trap 'exit 123' INT\nwhile :; do sleep 0.1; done\n" << 1;
    // Deaf to interrupts: three of them, then a kill.
    QTest::newRow("deaf") << "trap '' INT\nwhile :; do sleep 0.2; done\n" << 3;
}

void TestMediaEncoder::cancelWinsOverAnyStatus()
{
    QFETCH(QString, body);
    QFETCH(int, interrupts);
    LogCapture log;
    QVERIFY(start(fakeFolder(body)));
    QTest::qWait(200);
    QVERIFY(m_encoder->cancel());
    QTRY_COMPARE_WITH_TIMEOUT(m_recorder.ends, 1, 15000);
    QCOMPARE(m_recorder.lastError.value().domain, NSffmpegConvert264::cancelledDomain);
    QCOMPARE(m_recorder.lastError->code, -1);
    QCOMPARE(log.lines().count("task try stop"), interrupts);
    QCOMPARE(log.contains("task kill"), interrupts == 3);
    // A cancel after the end reports nothing more.
    QVERIFY(m_encoder->cancel());
    QTest::qWait(100);
    QCOMPARE(m_recorder.ends, 1);
}

// Gone mid-job: ffmpeg is interrupted and waited for, the end reported once, at once, and
// nothing reaches the delegate afterwards.
void TestMediaEncoder::destructionCancelsAndReports()
{
    LogCapture log;
    QVERIFY(start(m_tools, "long.mp4"));
    int signalled = 0;
    connect(m_encoder.get(), &NSffmpegConvert264::progressed, this, [&](float) { ++signalled; });
    QTRY_VERIFY_WITH_TIMEOUT(!m_recorder.progress.isEmpty(), 30000);
    QCOMPARE(signalled, m_recorder.progress.size());
    m_encoder.reset();
    QCOMPARE(m_recorder.ends, 1);
    QCOMPARE(m_recorder.lastError.value().domain, NSffmpegConvert264::cancelledDomain);
    QVERIFY(log.contains("task try stop"));
    QTest::qWait(200);
    QCOMPARE(m_recorder.ends, 1);
    // Interrupted, not killed: the partial file has its index.
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0",
                            lastOutput()});
    QVERIFY(probe.waitForFinished(10000));
    QVERIFY(probe.readAllStandardOutput().trimmed().toDouble() > 0);
}

QTEST_GUILESS_MAIN(TestMediaEncoder)
#include "tst_media_encoder.moc"
