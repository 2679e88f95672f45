// ffprobe questions, ffmpeg operations and the H.264 re-encoder: the real tools on generated
// media, and fake tools where a failure must be forced.
#include "media/NSTavoTools.h"
#include "media/NSffmpeg.h"
#include "media/NSffmpegConvert264.h"
#include "media/NSffprobe.h"
#include "support/FakeExecutable.h"
#include "support/FileContents.h"
#include "support/FuzzSeeds.h"
#include "support/LogCapture.h"
#include "support/MediaFactory.h"
#include "support/TestRows.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

namespace
{
// Fake ffmpeg bodies: "$last" is the output path, "$2" the (first) input.
const QString lastArgument = "for last; do :; done\n";
// A whole copy of the input, then a failure: the file alone must not pass for a result.
const QString plausibleThenFails = lastArgument + "cp \"$2\" \"$last\"\n"
                                                  "echo 'No space left on device' >&2\nexit 1\n";

class EncodeRecorder : public NSffmpegConvert264_ProgressDelegate
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

class TestMediaTools : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_tools; // the real ffmpeg and ffprobe
    int m_fakes = 0;
    std::unique_ptr<NSffmpegConvert264> m_encoder;
    EncodeRecorder m_recorder;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QUrl url(const QString &name) const { return QUrl::fromLocalFile(path(name)); }
    // A folder with a fake tool of that body beside the real other one.
    QString fakeFolder(const QString &tool, const QString &body)
    {
        const QString folder = path(QStringLiteral("fake-%1").arg(++m_fakes));
        QDir().mkpath(folder);
        FakeExecutable::write(folder + "/" + tool, body);
        const QString other = tool == "ffmpeg" ? "ffprobe" : "ffmpeg";
        QFile::link(m_tools + "/" + other, folder + "/" + other);
        return folder;
    }
    QString encoderOutput() const { return path(QStringLiteral("out-%1_h264.mp4").arg(m_fakes)); }
    // Starts an encode into a fresh output, setting the delegate only after the start.
    bool startEncode(const QString &folder, const QString &input = "three.mp4")
    {
        m_encoder = std::make_unique<NSffmpegConvert264>();
        m_recorder = EncodeRecorder();
        ++m_fakes;
        const bool started =
            m_encoder->encodeVideo(url(input), QUrl::fromLocalFile(encoderOutput()), folder);
        m_encoder->setDelegate(&m_recorder);
        return started;
    }
    // An interrupted ffmpeg leaves an MP4 with its index, which opens.
    static void verifyPlayable(const QString &file)
    {
        QVERIFY(MediaFactory::probe(file, "format=duration").trimmed().toDouble() > 0);
    }

private slots:
    void initTestCase()
    {
        m_tools = path("tools");
        QVERIFY(QDir().mkpath(m_tools));
        QVERIFY(QFile::link(QStandardPaths::findExecutable("ffmpeg"), m_tools + "/ffmpeg"));
        const QString ffprobe = QStandardPaths::findExecutable("ffprobe");
        if (!FuzzSeeds::writeRecorder(m_tools + "/ffprobe", ffprobe, "ffprobe"))
            QVERIFY(QFile::link(ffprobe, m_tools + "/ffprobe"));
        QVERIFY(MediaFactory::makeClip(path("clip.mp4"), 10, "640x360"));
        QVERIFY(MediaFactory::makeClip(path("three.mp4"), 3, "320x240"));
        QVERIFY(MediaFactory::makeClip(path("long.mp4"), 20, "640x360"));
        QVERIFY(
            MediaFactory::remux(path("clip.mp4"), path("clip.ts"), {"-c", "copy", "-f", "mpegts"}));
        QVERIFY(MediaFactory::makeTone(path("tone.m4a"), 3));
        QVERIFY(QFile::copy(path("clip.mp4"), path("a b [c] 视频.mp4")));
        QVERIFY(QDir().mkpath(path("merge")));
        QVERIFY(MediaFactory::remux(path("clip.mp4"), path("merge/a.mp4"), {"-an", "-c", "copy"}));
        QVERIFY(MediaFactory::remux(path("clip.mp4"), path("merge/a.m4a"), {"-vn", "-c", "copy"}));
        QVERIFY(MediaFactory::ffmpeg({"-f", "lavfi", "-i", "testsrc2=s=160x120:d=3", "-f", "lavfi",
                                      "-i", "sine=duration=3", "-c:v", "libvpx", "-c:a",
                                      "libvorbis", path("vp8.webm")}));
        QVERIFY(MediaFactory::ffmpeg(
            {"-f", "lavfi", "-i", "testsrc2=s=160x120:d=1", "-c:v", "mpeg4", path("mpeg4.mp4")}));
        QVERIFY(MediaFactory::makeVideoOf(path("far-keys.mp4"), "testsrc2=s=320x240:r=25:d=10",
                                          {"-preset", "ultrafast", "-g", "1000", "-sc_threshold",
                                           "0", "-force_key_frames", "0,8.3"}));
    }

    void probeRealFiles()
    {
        const auto info = NSffprobe::videoEncodeNameFileURL(url("clip.mp4"), m_tools);
        QCOMPARE(info ? info->description() : QString(), "640 x 360    h264  00:00:10 25.00 fps");
        // ffprobe prints MPEG-TS's stream block twice (program and stream); the parse holds.
        const auto ts = NSffprobe::videoEncodeNameFileURL(url("clip.ts"), m_tools);
        QCOMPARE(ts ? ts->description().left(24) : QString(), "640 x 360    h264  00:00");
        QVERIFY(!NSffprobe::videoEncodeNameFileURL(url("tone.m4a"), m_tools).has_value());
        QVERIFY(std::abs(NSffprobe::durationMediaFileURL(url("tone.m4a"), m_tools) - 3.0f) < 0.1f);
        // Paths reach ffprobe as they are on disk, not percent-encoded.
        const QUrl fancy = url("a b [c] 视频.mp4");
        QVERIFY(std::abs(NSffprobe::durationMediaFileURL(fancy, m_tools) - 10.0f) < 0.1f);
        QVERIFY(NSffprobe::detailMediaFileURL(fancy, m_tools).contains("Metadata:"));
    }

    void probeFailures()
    {
        const QString nowhere = path("no-such-folder");
        QVERIFY(NSffprobe::detailMediaFileURL(url("clip.mp4"), nowhere).isNull());
        QVERIFY(!NSffprobe::videoEncodeNameFileURL(url("clip.mp4"), QString()).has_value());
        QCOMPARE(NSffprobe::durationMediaFileURL(url("clip.mp4"), nowhere),
                 NSTavoTools::noDurationMark);
        const QString silent = fakeFolder("ffprobe", "exit 1\n");
        QVERIFY(!NSffprobe::videoEncodeNameFileURL(url("clip.mp4"), silent).has_value());
        QCOMPARE(NSffprobe::durationMediaFileURL(url("clip.mp4"), silent),
                 NSTavoTools::noDurationMark);
    }

    void merge()
    {
        const QList<QUrl> inputs = {url("merge/a.mp4"), url("merge/a.m4a")};
        // What a_1.mp4 holds, and a failed ffmpeg that leaves a file, are the store's merge
        // test's; here the next free name, never over an earlier result.
        QCOMPARE(NSffmpeg::mergeFiles(inputs, m_tools + "/ffmpeg"), path("merge/a_1.mp4"));
        QCOMPARE(NSffmpeg::mergeFiles(inputs, m_tools + "/ffmpeg"), path("merge/a_2.mp4"));
        QVERIFY(NSffmpeg::mergeFiles(inputs, path("no-such-ffmpeg")).isNull());
    }

    void cutChecksAndArguments()
    {
        // Never over an existing file (a failed cut removes its output), never a span under a
        // second, never without ffmpeg.
        QVERIFY(!NSffmpeg::cutoutVideo(url("clip.mp4"), url("tone.m4a"), 0, 2, m_tools));
        QVERIFY(QFile::exists(path("tone.m4a")));
        QVERIFY(!NSffmpeg::cutoutVideo(url("clip.mp4"), url("short.mp4"), 0, 0.5f, m_tools));
        QVERIFY(!NSffmpeg::cutoutVideo(url("clip.mp4"), url("short.mp4"), 0, 2, path("merge")));
        QVERIFY(!QFile::exists(path("short.mp4")));
        // The fake notes its arguments and copies its input to the output, which then passes.
        const QString folder = fakeFolder(
            "ffmpeg", QStringLiteral("printf '%s\\n' \"$@\" > '%1'\n").arg(path("arguments")) +
                          lastArgument + "cp \"$2\" \"$last\"\n");
        const QString output = path("cut [copy] 剪.mp4");
        QVERIFY(NSffmpeg::cutoutVideo(url("a b [c] 视频.mp4"), QUrl::fromLocalFile(output), 5.7f,
                                      100.25f, folder));
        QCOMPARE(QString::fromUtf8(FileContents::read(path("arguments")))
                     .split('\n', Qt::SkipEmptyParts),
                 (QStringList{"-i", path("a b [c] 视频.mp4"), "-ss", "00:00:05", "-t",
                              "00:01:40.25", "-c", "copy", output}));
    }

    void cuts_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("succeeds");
        addRow("sound cut", "clip.mp4", m_tools, true);
        // ffmpeg exits 1 and leaves a 0-byte file (VP8/Vorbis cannot be copied into MP4).
        addRow("codec refused", "vp8.webm", m_tools, false);
        addRow("plausible file, exit 1", "clip.mp4", fakeFolder("ffmpeg", plausibleThenFails),
               false);
        // No key frame between 2 s and 7.25 s: ffmpeg exits 0 with no video stream at all.
        addRow("no key frame in span", "far-keys.mp4", m_tools, false);
    }

    void cuts()
    {
        QFETCH(QString, input);
        QFETCH(QString, folder);
        QFETCH(bool, succeeds);
        const QUrl output = url(QStringLiteral("cut-%1.mp4").arg(QTest::currentDataTag()));
        LogCapture log;
        QCOMPARE(NSffmpeg::cutoutVideo(url(input), output, 2, 5.25f, folder), succeeds);
        QCOMPARE(QFile::exists(output.toLocalFile()), succeeds);
        QCOMPARE(log.containsPart("cutoutVideo Log:"), !succeeds);
        if (succeeds) {
            const float seconds = NSffprobe::durationMediaFileURL(output, m_tools);
            QVERIFY(seconds > 4.5f && seconds < 6.5f);
        }
    }

    void frame()
    {
        const QString image = path("frame 帧.jpg");
        QVERIFY(NSffmpeg::loadThumbnailInfoFile(image, url("a b [c] 视频.mp4"), 1.5f,
                                                m_tools + "/ffmpeg"));
        QCOMPARE(QImage(image).size(), QSize(640, 360));
        // Never over an existing image; a program that is not ffmpeg is a failure.
        QVERIFY(!NSffmpeg::loadThumbnailInfoFile(image, url("clip.mp4"), 1, m_tools + "/ffmpeg"));
        QVERIFY(
            !NSffmpeg::loadThumbnailInfoFile(path("x.jpg"), url("clip.mp4"), 1, path("tone.m4a")));
    }

    void encodesWithProgress()
    {
        QVERIFY(startEncode(m_tools));
        // One job at a time: a second start would replace the running child unreported.
        QVERIFY(!m_encoder->encodeVideo(url("three.mp4"), url("second.mp4"), m_tools));
        // An existing output is refused (the caller deletes a leftover first).
        LogCapture log;
        QVERIFY(!NSffmpegConvert264().encodeVideo(url("three.mp4"), url("three.mp4"), m_tools));
        QCOMPARE(log.lines(), QStringList{"NSffmpegConvert264 output file " + path("three.mp4") +
                                          " Exist Now."});
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder.ends, 1, 60000);
        QVERIFY(!m_recorder.lastError.has_value());
        QVERIFY(!m_recorder.progress.isEmpty());
        QVERIFY(std::is_sorted(m_recorder.progress.begin(), m_recorder.progress.end()));
        QVERIFY(m_recorder.progress.last() > 2.0f && m_recorder.progress.last() <= 3.1f);
        QVERIFY(QFileInfo(encoderOutput()).size() > 0);
    }

    void encodeEnds_data()
    {
        QTest::addColumn<QString>("body");   // empty: an ffmpeg that cannot be started
        QTest::addColumn<QString>("domain"); // the error's
        const QString writeLast = lastArgument + "cp '%1' \"$last\"\nexit 0\n";
        const QString status = "NSffmpegConvert264 ffmpeg exited with status %1.";
        addRow("cannot start", QString(), QString("NSffmpegConvert264 failed."));
        addRow("unsupported encoding", QString("exit 69\n"), NSffmpegConvert264::unsupportedDomain);
        addRow("interrupted", QString("exit 255\n"), NSffmpegConvert264::cancelledDomain);
        addRow("other status", QString("exit 3\n"), status.arg(3));
        addRow("crash", QString("kill -SEGV $$\n"), QString("NSffmpegConvert264 ffmpeg crashed."));
        // Exit 0 without a sound H.264 result.
        addRow("exit 0 without a file", QString("exit 0\n"),
               QString("NSffmpegConvert264 no output file."));
        addRow("exit 0 with other video", writeLast.arg(path("mpeg4.mp4")),
               QString("NSffmpegConvert264 the output's video is mpeg4, not h264."));
    }

    void encodeEnds()
    {
        QFETCH(QString, body);
        QFETCH(QString, domain);
        const QString folder = fakeFolder("ffmpeg", body);
        if (body.isEmpty())
            QVERIFY(
                QFile::setPermissions(folder + "/ffmpeg", QFile::ReadOwner | QFile::WriteOwner));
        // The delegate is set after the start: a failure to start still reaches it, once.
        QVERIFY(startEncode(folder));
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder.ends, 1, 10000);
        QTest::qWait(50);
        QCOMPARE(m_recorder.ends, 1);
        QVERIFY(m_recorder.progress.isEmpty());
        QCOMPARE(m_recorder.lastError ? m_recorder.lastError->domain : QString(), domain);
        if (body.isEmpty()) QVERIFY(!m_recorder.lastError->detail.isEmpty()); // why it failed
    }

    // ffmpeg's hard exit after repeated interrupts is 123: still the user's cancel. Deaf to
    // interrupts: three of them, then a kill.
    void cancelWinsOverAnyStatus_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("interrupts");
        addRow("hard exit", "trap 'exit 123' INT\nwhile :; do sleep 0.1; done\n", 1);
        addRow("deaf", "trap '' INT\nwhile :; do sleep 0.2; done\n", 3);
    }

    void cancelWinsOverAnyStatus()
    {
        QFETCH(QString, body);
        QFETCH(int, interrupts);
        LogCapture log;
        QVERIFY(startEncode(fakeFolder("ffmpeg", body)));
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

    // Cancelled, or gone mid-job (the application quits): ffmpeg is interrupted (not killed)
    // and waited for, the end reported once (at once when gone), the file left playable.
    void realEncodeStopped_data()
    {
        QTest::addColumn<bool>("destroy");
        addRow("cancelled", false);
        addRow("encoder destroyed", true);
    }

    void realEncodeStopped()
    {
        QFETCH(bool, destroy);
        LogCapture log;
        QVERIFY(startEncode(m_tools, "long.mp4"));
        QSignalSpy progressed(m_encoder.get(), &NSffmpegConvert264::progressed);
        QTRY_VERIFY_WITH_TIMEOUT(!m_recorder.progress.isEmpty(), 30000);
        QCOMPARE(progressed.size(), m_recorder.progress.size());
        if (destroy) {
            m_encoder.reset();
            QCOMPARE(m_recorder.ends, 1);
        } else {
            QVERIFY(m_encoder->cancel());
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_recorder.ends, 1, 30000);
        QCOMPARE(m_recorder.lastError.value().domain, NSffmpegConvert264::cancelledDomain);
        const qsizetype interrupts = log.lines().count("task try stop");
        QVERIFY(interrupts >= 1 && interrupts <= 3);
        QTest::qWait(200);
        QCOMPARE(m_recorder.ends, 1);
        verifyPlayable(encoderOutput());
    }
};

QTEST_GUILESS_MAIN(TestMediaTools)
#include "tst_media_tools.moc"
