#include "media/NSffmpeg.h"

#include "download/NSterminal.h"
#include "media/NSTavoTools.h"
#include "media/NSffprobe.h"
#include "media/SystemToolLinker.h"
#include "platform/Log.h"

#include <QDir>
#include <QFileInfo>

#include <mutex>

#include <algorithm>
#include <climits>

namespace
{

std::mutex programsMutex;

ToolchainInstaller::Programs &sharedPrograms()
{
    static ToolchainInstaller::Programs programs;
    return programs;
}

bool exists(const QString &path)
{
    return QFileInfo::exists(path);
}

} // namespace

QString NSffmpeg::ffmpegInfomationAtPath(const QString &ffmpegFolder)
{
    QString error;
    QString text =
        NSterminal::order(ffmpegFolder + QStringLiteral("/ffmpeg"), {QStringLiteral("-version")},
                          &error, ToolRunner::probeTimeLimitMs);
    if (!error.isEmpty()) {
        Log::line(zelvoMedia(), QStringLiteral("ffmpegInfomationAtPath error %1").arg(error));
        return {};
    }
    if (text.contains(QStringLiteral("Exiting with exit code 0")))
        text.remove(QStringLiteral("Exiting with exit code 0"));
    return text;
}

QString NSffmpeg::freeMergeName(const QString &firstInput)
{
    const QFileInfo first(firstInput);
    const QDir folder = first.dir();
    const QString base = first.completeBaseName();
    QString candidate = folder.filePath(base + QStringLiteral(".mp4"));
    for (long n = 1; exists(candidate); ++n)
        candidate = folder.filePath(base + QString::asprintf("_%ld", n) + QStringLiteral(".mp4"));
    return candidate;
}

// A merge or cut copies the video and at most re-encodes the audio: far faster than a second a
// megabyte, so only a hung ffmpeg meets this limit.
int NSffmpeg::copyTimeLimitMs(const QList<QUrl> &inputs)
{
    qint64 megabytes = 0;
    for (const QUrl &input : inputs)
        megabytes += QFileInfo(input.toLocalFile()).size() / (1024 * 1024);
    return int(std::min<qint64>(60'000 + megabytes * 1000, INT_MAX));
}

bool NSffmpeg::hasVideoStream(const QString &path, const QString &ffprobeFolder)
{
    return NSffprobe::videoEncodeNameFileURL(QUrl::fromLocalFile(path), ffprobeFolder).has_value();
}

QString NSffmpeg::faultInOutput(const ToolRunner::Outcome &outcome, const QList<QUrl> &inputs,
                                const QString &output, const QString &ffprobeFolder,
                                const QString &videoCodec)
{
    if (!exists(output)) return QStringLiteral("no output file");
    if (outcome.timedOut || outcome.cancelled) return QStringLiteral("ffmpeg was stopped");
    if (!outcome.exitedCleanly())
        return QStringLiteral("ffmpeg exited with status %1").arg(outcome.exitCode);
    if (QFileInfo(output).size() == 0) return QStringLiteral("the output is empty");
    const bool inputHasVideo = std::any_of(inputs.begin(), inputs.end(), [&](const QUrl &input) {
        return hasVideoStream(input.toLocalFile(), ffprobeFolder);
    });
    if (!inputHasVideo && videoCodec.isEmpty()) return {};
    const std::optional<NSMediaInfo> info =
        NSffprobe::videoEncodeNameFileURL(QUrl::fromLocalFile(output), ffprobeFolder);
    if (!info) return QStringLiteral("the output has no video");
    if (videoCodec.isEmpty()) return {};
    if (info->videoEncodeName() != videoCodec)
        return QStringLiteral("the output's video is %1, not %2")
            .arg(info->videoEncodeName(), videoCodec);
    if (!(info->duration() > 0)) return QStringLiteral("the output lasts no time");
    return {};
}

QString NSffmpeg::faultInReencode(const ToolRunner::Outcome &outcome, const QString &output,
                                  const QString &ffprobeFolder)
{
    return faultInOutput(outcome, {}, output, ffprobeFolder, QStringLiteral("h264"));
}

QString NSffmpeg::mergeFiles(const QList<QUrl> &files, const QString &ffmpegPath)
{
    if (files.isEmpty() || ffmpegPath.isNull()) {
        Log::line(zelvoMedia(), QStringLiteral("mergeFilesByffmpeg failed."));
        return {};
    }
    const QString output = freeMergeName(files.first().toLocalFile());
    QStringList arguments;
    for (const QUrl &file : files)
        arguments << QStringLiteral("-i") << file.toLocalFile();
    arguments << "-c:v"
              << "copy"
              << "-c:a"
              << "aac"
              << "-strict"
              << "experimental"
              << "-shortest" << output;

    const ToolRunner::Outcome outcome =
        ToolRunner::run(ffmpegPath, arguments, {copyTimeLimitMs(files), {}});
    if (!outcome.started) {
        Log::line(zelvoMedia(), QStringLiteral("mergeFilesByffmpeg failed."));
        Log::line(zelvoMedia(),
                  QStringLiteral("mergeFilesByffmpeg error:%1").arg(outcome.launchError));
        return {};
    }
    const QString errorText = NSterminal::stringByPipe(outcome.standardError);
    if (!errorText.isEmpty())
        Log::line(zelvoMedia(), QStringLiteral("Error log:%1").arg(errorText));
    const QString fault =
        faultInOutput(outcome, files, output, QFileInfo(ffmpegPath).absolutePath());
    if (!fault.isNull()) {
        Log::line(zelvoMedia(), QStringLiteral("mergeFilesByffmpeg failed."));
        Log::line(zelvoMedia(), QStringLiteral("mergeFilesByffmpeg %1: %2").arg(fault, output));
        QFile::remove(output);
        return {};
    }
    return output;
}

bool NSffmpeg::refuseCut(const QUrl &input, const QUrl &output, float startSecond,
                         float durationSecond, const QString &ffmpegFolder)
{
    QString reason;
    if (input.isEmpty())
        reason = QStringLiteral("cutoutVideo inputURL is nil.");
    else if (!exists(input.toLocalFile()))
        reason = QStringLiteral("cutoutVideo NOT exist:%1").arg(input.toLocalFile());
    else if (output.isEmpty())
        reason = QStringLiteral("cutoutVideo outputURL is nil.");
    else if (exists(output.toLocalFile()))
        reason = QStringLiteral("cutoutVideo Exist output file:%1").arg(output.toLocalFile());
    else if (startSecond < 0)
        reason = QStringLiteral("cutoutVideo startSecond is < 0.");
    else if (!(durationSecond >= 1))
        reason = QStringLiteral("cutoutVideo durationSecond is < 1.");
    else if (ffmpegFolder.isNull())
        reason = QStringLiteral("cutoutVideo ffmpegPath is nil.");
    else if (!exists(QDir(ffmpegFolder).filePath(QStringLiteral("ffmpeg"))))
        reason = QStringLiteral("cutoutVideo ffmpeg NOT Exist:%1")
                     .arg(QDir(ffmpegFolder).filePath(QStringLiteral("ffmpeg")));
    if (reason.isNull()) return false;
    Log::line(zelvoMedia(), reason);
    return true;
}

bool NSffmpeg::cutoutVideo(const QUrl &input, const QUrl &output, float startSecond,
                           float durationSecond, const QString &ffmpegFolder)
{
    if (refuseCut(input, output, startSecond, durationSecond, ffmpegFolder)) return false;
    const QString outputPath = output.toLocalFile();
    const QStringList arguments = {
        "-i",      input.toLocalFile(),
        "-ss",     NSTavoTools::stringForDuration(startSecond),
        "-t",      NSTavoTools::stringForAccurateDuration(durationSecond),
        "-c",      "copy",
        outputPath};
    const ToolRunner::Outcome outcome =
        ToolRunner::run(QDir(ffmpegFolder).filePath(QStringLiteral("ffmpeg")), arguments,
                        {copyTimeLimitMs({input}), {}});
    if (!outcome.started) {
        Log::line(zelvoMedia(), QStringLiteral("cutoutVideo error:%1").arg(outcome.launchError));
        return false;
    }
    const QString fault = faultInOutput(outcome, {input}, outputPath, ffmpegFolder);
    if (fault.isNull()) return true;
    Log::line(zelvoMedia(), QStringLiteral("cutoutVideo Log:%1").arg(outcome.text()));
    Log::line(zelvoMedia(), QStringLiteral("cutoutVideo %1: %2").arg(fault, outputPath));
    QFile::remove(outputPath);
    return false;
}

bool NSffmpeg::refuseThumbnail(const QString &thumbnailFile, const QUrl &video,
                               const QString &ffmpegPath)
{
    QString reason;
    if (ffmpegPath.isNull())
        reason = QStringLiteral("loadThumbnailInfo ffmpegPath can NOT nil.");
    else if (!exists(ffmpegPath))
        reason = QStringLiteral("loadThumbnailInfo ffmpegPath NOT Exist.");
    else if (thumbnailFile.isNull())
        reason = QStringLiteral("loadThumbnailInfo thumbnailFile can NOT nil.");
    else if (exists(thumbnailFile))
        reason =
            QStringLiteral("loadThumbnailInfo write thumbnail file %1 exist.").arg(thumbnailFile);
    else if (video.isEmpty())
        reason = QStringLiteral("loadThumbnailInfo videoURL can NOT nil.");
    if (reason.isNull()) return false;
    Log::line(zelvoMedia(), reason);
    return true;
}

bool NSffmpeg::loadThumbnailInfoFile(const QString &thumbnailFile, const QUrl &video, float second,
                                     const QString &ffmpegPath)
{
    if (refuseThumbnail(thumbnailFile, video, ffmpegPath)) return false;
    const QStringList arguments = {"-ss",        NSTavoTools::stringForDuration(second),
                                   "-i",         video.toLocalFile(),
                                   "-vframes",   "1",
                                   "-q:v",       "2",
                                   thumbnailFile};
    const ToolRunner::Outcome outcome = ToolRunner::run(
        ffmpegPath, arguments,
        {ToolRunner::probeTimeLimitMs, [](const QByteArray &chunk) {
             Log::line(zelvoMedia(),
                       QStringLiteral("loadThumbnailInfo Result:%1").arg(QString::fromUtf8(chunk)));
         }});
    if (!outcome.started) {
        Log::line(zelvoMedia(),
                  QStringLiteral("ffmpeg Thumbnail error:%1").arg(outcome.launchError));
        return false;
    }
    return true;
}

ToolchainInstaller::Programs NSffmpeg::installerPrograms()
{
    std::lock_guard locker(programsMutex);
    return sharedPrograms();
}

void NSffmpeg::setInstallerPrograms(const ToolchainInstaller::Programs &programs)
{
    std::lock_guard locker(programsMutex);
    sharedPrograms() = programs;
}

bool NSffmpeg::detectXcode_SelectandReturnError(QString *error, const Handler &handler)
{
    return ToolchainInstaller(installerPrograms()).detectXcodeSelect(error, handler);
}

bool NSffmpeg::xcode_selectInstallandReturnError(QString *error)
{
    return ToolchainInstaller(installerPrograms()).installXcodeSelect(error);
}

bool NSffmpeg::detectBrewandReturnError(QString *error)
{
    return ToolchainInstaller(installerPrograms()).detectBrew(error);
}

bool NSffmpeg::libCheckInstall(const QString &package, QString *error, const Handler &handler)
{
    return ToolchainInstaller(installerPrograms()).checkLibrary(package, error, handler);
}

bool NSffmpeg::libsInstallandReturnError(QString *error, const Handler &handler)
{
    return ToolchainInstaller(installerPrograms()).installLibraries(error, handler);
}

bool NSffmpeg::ffmpegInstallToPath(const QString &folder, QString *error, const Handler &handler)
{
    return ToolchainInstaller(installerPrograms()).installTools(folder, error, handler);
}

bool NSffmpeg::installSystemTools(const QString &folder, QString *error, const Handler &handler)
{
    return SystemToolLinker().linkInto(folder, error, handler);
}
