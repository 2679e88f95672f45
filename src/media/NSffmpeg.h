#pragma once

#include "media/ToolchainInstaller.h"
#include "platform/ToolRunner.h"

#include <QList>
#include <QString>
#include <QUrl>

// One job per method with the ffmpeg executable, each waiting for it: the version, a merge of
// separately downloaded streams, a cut without re-encoding, one frame as JPEG; and the
// installation of the tools themselves. Failures are log lines plus a null or false answer.
class NSffmpeg
{
public:
    using Handler = ToolchainInstaller::Handler;

    // The text of "<folder>/ffmpeg -version", or null when it cannot run.
    static QString ffmpegInfomationAtPath(const QString &ffmpegFolder);
    // Merges into "<first>.mp4" or the first free "<first>_N.mp4" beside the first input.
    static QString mergeFiles(const QList<QUrl> &files, const QString &ffmpegPath);
    // Copies the span [start, start + duration) of input into output ("<folder>/ffmpeg").
    static bool cutoutVideo(const QUrl &input, const QUrl &output, float startSecond,
                            float durationSecond, const QString &ffmpegFolder);
    // Writes the frame at the whole second as a JPEG; the caller judges by the file.
    static bool loadThumbnailInfoFile(const QString &thumbnailFile, const QUrl &video, float second,
                                      const QString &ffmpegPath);

    // The one judge of an ffmpeg job's output, since ffmpeg can fail and still leave a file
    // (empty, truncated, or a copy-cut with no key frame in its span and so no video), which
    // must not pass for a result whose sources are then deleted. Sound when ffmpeg exited 0,
    // the file is not empty, it has video when an input had, and, when a codec is named, its
    // video is of that codec and lasts longer than 0. Null when sound, else the fault.
    static QString faultInOutput(const ToolRunner::Outcome &outcome, const QList<QUrl> &inputs,
                                 const QString &output, const QString &ffprobeFolder,
                                 const QString &videoCodec = QString());
    // A re-encode's result: H.264 video that lasts longer than 0.
    static QString faultInReencode(const ToolRunner::Outcome &outcome, const QString &output,
                                   const QString &ffprobeFolder);

    // The installation through the developer tools, Homebrew and the download server.
    static bool detectXcode_SelectandReturnError(QString *error, const Handler &handler);
    static bool xcode_selectInstallandReturnError(QString *error);
    static bool detectBrewandReturnError(QString *error);
    static bool libCheckInstall(const QString &package, QString *error, const Handler &handler);
    static bool libsInstallandReturnError(QString *error, const Handler &handler);
    static bool ffmpegInstallToPath(const QString &folder, QString *error, const Handler &handler);
    // Where the system's own ffmpeg family is to be used (Linux): links it into the folder.
    static bool installSystemTools(const QString &folder, QString *error, const Handler &handler);

    // The outside programs and the server the installer uses; tests point them at fakes.
    static ToolchainInstaller::Programs installerPrograms();
    static void setInstallerPrograms(const ToolchainInstaller::Programs &programs);

private:
    static QString freeMergeName(const QString &firstInput);
    static int copyTimeLimitMs(const QList<QUrl> &inputs);
    static bool hasVideoStream(const QString &path, const QString &ffprobeFolder);
    static bool refuseCut(const QUrl &input, const QUrl &output, float startSecond,
                          float durationSecond, const QString &ffmpegFolder);
    static bool refuseThumbnail(const QString &thumbnailFile, const QUrl &video,
                                const QString &ffmpegPath);
};
