#include "media/NSffmpegConvert264.h"

#include "download/NSterminal.h"
#include "media/NSffmpeg.h"
#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <climits>
#include <csignal>

namespace
{

// ffmpeg hard-exits on its fourth SIGINT and leaves an MP4 without its index: three at most,
// one a second, then a kill when it still runs a few seconds after the third.
constexpr int interruptCount = 3;
constexpr int killTick = interruptCount - 1 + 5;
// How long a destroyed encoder lets ffmpeg finish its file after the interrupts.
constexpr int destructionWaitMs = 3000;

} // namespace

const QString NSffmpegConvert264::unsupportedDomain =
    QStringLiteral("转码失败，遇到还不支持的视频编码。");
const QString NSffmpegConvert264::cancelledDomain = QStringLiteral("转码过程中，用户取消。");

NSffmpegConvert264::NSffmpegConvert264(QObject *parent) : QObject(parent)
{
    m_cancelTimer.setInterval(1000);
    connect(&m_cancelTimer, &QTimer::timeout, this, &NSffmpegConvert264::interruptAgain);
}

NSffmpegConvert264::~NSffmpegConvert264()
{
    stopOnDestruction();
    if (m_task) m_task->disconnect(this);
}

// A job outliving its encoder would report to nothing: it is cancelled as the user's cancel
// would (interrupts first, so the partial file keeps its index), waited for, and reported.
void NSffmpegConvert264::stopOnDestruction()
{
    if (m_reported || !m_task) return;
    if (m_task->state() != QProcess::NotRunning) {
        m_cancelled = true;
        m_cancelTimer.stop();
        m_task->waitForStarted(destructionWaitMs); // no process id before
        for (int i = 0; i < interruptCount && m_task->processId() > 0 &&
                        m_task->state() != QProcess::NotRunning;
             ++i) {
            Log::line(QStringLiteral("task try stop"));
            ::kill(pid_t(m_task->processId()), SIGINT);
            m_task->waitForFinished(destructionWaitMs / interruptCount);
        }
        if (m_task->state() != QProcess::NotRunning) {
            Log::line(QStringLiteral("task kill"));
            m_task->kill();
            m_task->waitForFinished(-1);
        }
    }
    // The wait delivered the end through processEnded; a launch failure still queued, or an
    // end the wait did not see, is reported here.
    report(m_launchError ? m_launchError : std::optional(EncodeError{cancelledDomain, -1, {}}));
}

void NSffmpegConvert264::setDelegate(NSffmpegConvert264_ProgressDelegate *delegate)
{
    disconnect(m_delegateProgress);
    disconnect(m_delegateEnd);
    m_delegate = delegate;
    if (!delegate) return;
    m_delegateProgress =
        connect(this, &NSffmpegConvert264::progressed, this,
                [delegate](float seconds) { delegate->progressDuration(seconds); });
    m_delegateEnd = connect(this, &NSffmpegConvert264::ended, this,
                            [delegate](const std::optional<EncodeError> &error) {
                                delegate->encodeVideoFailed(error);
                            });
}

bool NSffmpegConvert264::refuse(const QUrl &input, const QUrl &result,
                                const QString &ffmpegFolder) const
{
    QString reason;
    if (ffmpegFolder.isNull())
        reason = QStringLiteral("NSffmpegConvert264 ffmpegPath can NOT nil.");
    else if (input.isEmpty())
        reason = QStringLiteral("NSffmpegConvert264 inputURL can NOT nil.");
    else if (!QFileInfo::exists(input.toLocalFile()))
        reason =
            QStringLiteral("NSffmpegConvert264 inputVideo :%1 NOT FOUND.").arg(input.toLocalFile());
    else if (result.isEmpty())
        reason = QStringLiteral("NSffmpegConvert264 outURL can NOT nil");
    else if (QFileInfo::exists(result.toLocalFile()))
        reason = QStringLiteral("NSffmpegConvert264 output file %1 Exist Now.")
                     .arg(result.toLocalFile());
    else if (!QFileInfo::exists(QDir(ffmpegFolder).filePath(QStringLiteral("ffmpeg"))))
        reason = QStringLiteral("NSffmpegConvert264 ffmpeg file NOT FOUND.");
    else if (m_task && m_task->state() != QProcess::NotRunning)
        // Replacing a running child would kill it without any end being reported.
        reason = QStringLiteral("NSffmpegConvert264 is still encoding.");
    if (reason.isNull()) return false;
    Log::line(reason);
    return true;
}

bool NSffmpegConvert264::encodeVideo(const QUrl &input, const QUrl &result,
                                     const QString &ffmpegFolder)
{
    if (refuse(input, result, ffmpegFolder)) return false;
    if (m_task) m_task->disconnect(this);
    m_task = std::make_unique<QProcess>();
    m_output = result.toLocalFile();
    m_ffprobeFolder = ffmpegFolder;
    m_launchError.reset();
    m_cancelled = false;
    m_reported = false;
    m_cancelTicks = 0;
    m_task->setProgram(QDir(ffmpegFolder).filePath(QStringLiteral("ffmpeg")));
    m_task->setArguments({"-i", input.toLocalFile(), "-c:v", "libx264", "-preset", "slow", "-crf",
                          "23", "-c:a", "aac", "-b:a", "128k", result.toLocalFile()});
    connect(m_task.get(), &QProcess::readyReadStandardOutput, this,
            &NSffmpegConvert264::readStandardOutput);
    connect(m_task.get(), &QProcess::readyReadStandardError, this,
            &NSffmpegConvert264::readStandardError);
    connect(m_task.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) launchFailed();
    });
    connect(m_task.get(), &QProcess::finished, this, &NSffmpegConvert264::processEnded);
    m_task->start(QIODevice::ReadOnly);
    return true;
}

void NSffmpegConvert264::readStandardOutput()
{
    const QString text = NSterminal::stringByPipe(m_task->readAllStandardOutput());
    if (!text.isEmpty()) Log::line(QStringLiteral("NSffmpegConvert264 Result:%1").arg(text));
}

void NSffmpegConvert264::readStandardError()
{
    const QString chunk = QString::fromUtf8(m_task->readAllStandardError());
    if (const std::optional<float> seconds = progressFromChunk(chunk)) emit progressed(*seconds);
}

std::optional<float> NSffmpegConvert264::progressFromChunk(const QString &chunk)
{
    const qsizetype at = chunk.indexOf(QStringLiteral("time="));
    // A chunk that begins with "time=" has never given a report.
    if (at <= 0) return std::nullopt;
    const qsizetype from = at + 5;
    const qsizetype blank = chunk.indexOf(QLatin1Char(' '), from);
    if (blank < 0) return std::nullopt;
    static const QRegularExpression clock(
        QStringLiteral("^\\s*([+-]?\\d+):\\s*([+-]?\\d+):\\s*([+-]?\\d+)\\.\\s*([+-]?\\d+)"));
    const QRegularExpressionMatch match = clock.match(chunk.mid(from, blank - from));
    if (!match.hasMatch()) return std::nullopt;
    qint64 parts[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        parts[i] = match.captured(i + 1).toLongLong(&ok);
        if (!ok || parts[i] > INT_MAX || parts[i] < INT_MIN) return std::nullopt;
    }
    return float(parts[0] * 3600 + parts[1] * 60 + parts[2]) + float(parts[3]) / 100.0f;
}

void NSffmpegConvert264::launchFailed()
{
    Log::line(QStringLiteral("NSffmpegConvert264 failed."));
    m_launchError =
        EncodeError{QStringLiteral("NSffmpegConvert264 failed."), -1, m_task->errorString()};
    // Queued, so that a delegate set right after a start that answered YES still hears it.
    QTimer::singleShot(0, this, [this] { report(m_launchError); });
}

void NSffmpegConvert264::processEnded(int exitCode, QProcess::ExitStatus status)
{
    m_cancelTimer.stop();
    readStandardOutput();
    const QString rest = NSterminal::stringByPipe(m_task->readAllStandardError());
    if (!rest.isEmpty()) Log::line(QStringLiteral("Error log:%1").arg(rest));
    report(endError(exitCode, status));
}

std::optional<EncodeError> NSffmpegConvert264::endError(int exitCode,
                                                        QProcess::ExitStatus status) const
{
    // Whatever ffmpeg does after an interrupt (255, 123 on a hard exit, a kill) is the user's
    // cancel.
    if (m_cancelled || (status == QProcess::NormalExit && exitCode == 255))
        return EncodeError{cancelledDomain, -1, {}};
    if (status == QProcess::CrashExit)
        return EncodeError{QStringLiteral("NSffmpegConvert264 ffmpeg crashed."), -1,
                           m_task->errorString()};
    if (exitCode == 69) return EncodeError{unsupportedDomain, -1, {}};
    if (exitCode != 0)
        return EncodeError{
            QStringLiteral("NSffmpegConvert264 ffmpeg exited with status %1.").arg(exitCode),
            exitCode,
            {}};
    // The caller deletes the source on success: the result must really be one.
    ToolRunner::Outcome outcome;
    outcome.started = true;
    outcome.exitCode = exitCode;
    const QString fault = NSffmpeg::faultInReencode(outcome, m_output, m_ffprobeFolder);
    if (!fault.isNull())
        return EncodeError{QStringLiteral("NSffmpegConvert264 %1.").arg(fault), -1, m_output};
    return std::nullopt;
}

void NSffmpegConvert264::report(const std::optional<EncodeError> &error)
{
    if (m_reported) return;
    m_reported = true;
    emit ended(error);
}

bool NSffmpegConvert264::cancel()
{
    if (!m_task || m_task->state() == QProcess::NotRunning || m_cancelled) return true;
    m_cancelled = true;
    m_cancelTicks = 0;
    interruptAgain();
    m_cancelTimer.start();
    return true;
}

void NSffmpegConvert264::interruptAgain()
{
    const qint64 pid = m_task ? m_task->processId() : 0;
    if (pid <= 0 || m_task->state() == QProcess::NotRunning) {
        m_cancelTimer.stop();
        return;
    }
    const int tick = m_cancelTicks++;
    if (tick < interruptCount) {
        Log::line(QStringLiteral("task try stop"));
        ::kill(pid_t(pid), SIGINT);
    } else if (tick >= killTick) {
        Log::line(QStringLiteral("task kill"));
        m_task->kill();
        m_cancelTimer.stop();
    }
}
