#pragma once

#include "media/EncodeError.h"
#include "media/NSffmpegConvert264_ProgressDelegate.h"

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>

// Re-encodes one file to H.264/AAC with ffmpeg, reporting progress and the end by signals (and
// to a delegate, which is connected to them). Lives on the main thread: ffmpeg runs as an
// asynchronous child whose end arrives there. A job ends exactly once: ffmpeg's exit, a launch
// failure, a cancel, or the encoder's destruction, which cancels the job and reports it.
class NSffmpegConvert264 : public QObject
{
    Q_OBJECT
public:
    explicit NSffmpegConvert264(QObject *parent = nullptr);
    ~NSffmpegConvert264() override;

    // Starts "<folder>/ffmpeg"; false (with a log line) when refused. Returns at once.
    bool encodeVideo(const QUrl &input, const QUrl &result, const QString &ffmpegFolder);
    // Interrupts the running job; its end is then reported with the cancel error.
    bool cancel();

    // The delegate is an adapter on the signals. Not owned: it must outlive the encoder or be
    // reset first (the encoder's destruction reports to it).
    NSffmpegConvert264_ProgressDelegate *delegate() const { return m_delegate; }
    void setDelegate(NSffmpegConvert264_ProgressDelegate *delegate);

    // Seconds from the first "time=" of a chunk of ffmpeg's standard error, when it reads as
    // hours:minutes:seconds.hundredths followed by a blank.
    static std::optional<float> progressFromChunk(const QString &chunk);

    static const QString unsupportedDomain;
    static const QString cancelledDomain;

signals:
    // Seconds of the input already encoded.
    void progressed(float seconds);
    // The end of the job: no error means a verified H.264 result.
    void ended(const std::optional<EncodeError> &error);

private:
    bool refuse(const QUrl &input, const QUrl &result, const QString &ffmpegFolder) const;
    void readStandardOutput();
    void readStandardError();
    void launchFailed();
    void processEnded(int exitCode, QProcess::ExitStatus status);
    void interruptAgain();
    void stopOnDestruction();
    std::optional<EncodeError> endError(int exitCode, QProcess::ExitStatus status) const;
    void report(const std::optional<EncodeError> &error);

    std::unique_ptr<QProcess> m_task;
    QString m_output;
    QString m_ffprobeFolder;
    std::optional<EncodeError> m_launchError;
    NSffmpegConvert264_ProgressDelegate *m_delegate = nullptr;
    QMetaObject::Connection m_delegateProgress;
    QMetaObject::Connection m_delegateEnd;
    QTimer m_cancelTimer;
    int m_cancelTicks = 0;
    bool m_cancelled = false;
    bool m_reported = false;
};
