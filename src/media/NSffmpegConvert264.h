#pragma once

#include "media/EncodeError.h"
#include "media/NSffmpegConvert264_ProgressDelegate.h"

#include <QObject>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <memory>
#include <optional>

// Re-encodes one file to H.264/AAC with ffmpeg, reporting progress and the end to its delegate.
// Lives on the main thread: ffmpeg runs as an asynchronous child whose end arrives there.
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

    // Not owned: the delegate must outlive the job or be reset first.
    NSffmpegConvert264_ProgressDelegate *delegate() const { return m_delegate; }
    void setDelegate(NSffmpegConvert264_ProgressDelegate *delegate) { m_delegate = delegate; }

    // Seconds from the first "time=" of a chunk of ffmpeg's standard error, when it reads as
    // hours:minutes:seconds.hundredths followed by a blank.
    static std::optional<float> progressFromChunk(const QString &chunk);

    static const QString unsupportedDomain;
    static const QString cancelledDomain;

private:
    bool refuse(const QUrl &input, const QUrl &result, const QString &ffmpegFolder) const;
    void readStandardOutput();
    void readStandardError();
    void launchFailed();
    void finished(int exitCode, QProcess::ExitStatus status);
    void interruptAgain();
    std::optional<EncodeError> endError(int exitCode, QProcess::ExitStatus status) const;
    void report(const std::optional<EncodeError> &error);

    std::unique_ptr<QProcess> m_task;
    NSffmpegConvert264_ProgressDelegate *m_delegate = nullptr;
    QTimer m_cancelTimer;
    int m_cancelTicks = 0;
    bool m_cancelled = false;
    bool m_reported = false;
};
