#pragma once

#include "platform/ToolRunner.h"
#include "media/ToolchainInstaller.h"

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
    static QString faultInOutput(const ToolRunner::Outcome &outcome, const QList<QUrl> &inputs,
                                 const QString &output, const QString &ffprobeFolder);
    static bool hasVideoStream(const QString &path, const QString &ffprobeFolder);
    static bool refuseCut(const QUrl &input, const QUrl &output, float startSecond,
                          float durationSecond, const QString &ffmpegFolder);
    static bool refuseThumbnail(const QString &thumbnailFile, const QUrl &video,
                                const QString &ffmpegPath);
};
