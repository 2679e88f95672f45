#pragma once

#include <QByteArray>
#include <QColor>
#include <QString>

#include <memory>
#include <optional>

class XFile;
class XTask;

// Tasks, files and pictures for the grid's tests, made and saved in the shared store; and
// the working folders whose yt-dlp a test forces.
class GridTestSupport
{
public:
    static std::shared_ptr<XTask> makeTask(const QString &url, std::optional<qint64> status = 0,
                                           const QByteArray &thumbnail = {});
    // A file record for the path (the file need not exist), saved.
    static std::shared_ptr<XFile> addFile(const std::shared_ptr<XTask> &task, const QString &path);
    static QByteArray jpegOf(const QColor &color, int width, int height);
    // A working folder under root with a fake yt-dlp of the given body (and the system's
    // ffmpeg, ffprobe), made the application's.
    static QString useWorkingFolder(const QString &root, const QString &ytdlpBody);
    // A yt-dlp that says it downloads item 3 of 12 to FOLDER/clip.mp4 at 42.5 % and 1 MiB/s,
    // then waits until FOLDER/stop exists and fails with "stopped by the test".
    static QString waitingYtdlp(const QString &folder);
};
