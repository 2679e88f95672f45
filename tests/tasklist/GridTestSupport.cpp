#include "GridTestSupport.h"

#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "support/FakeExecutable.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>

std::shared_ptr<XTask> GridTestSupport::makeTask(const QString &url, std::optional<qint64> status,
                                                 const QByteArray &thumbnail)
{
    XCoreDataManagement &store = XCoreDataManagement::shared();
    auto task = store.creatTaskURL(url, QStringLiteral("None"), QString());
    task->setStatus(status);
    if (!thumbnail.isEmpty()) task->setThumbnail(thumbnail);
    store.save();
    return task;
}

std::shared_ptr<XFile> GridTestSupport::addFile(const std::shared_ptr<XTask> &task,
                                                const QString &path)
{
    XCoreDataManagement &store = XCoreDataManagement::shared();
    auto file = store.createFile(QUrl::fromLocalFile(path));
    file->setTask(task);
    store.save();
    return file;
}

QByteArray GridTestSupport::jpegOf(const QColor &color, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

QString GridTestSupport::useWorkingFolder(const QString &root, const QString &ytdlpBody)
{
    const QString folder = root + QStringLiteral("/work");
    QDir().mkpath(folder);
    QFile::remove(folder + QStringLiteral("/yt-dlp"));
    FakeExecutable::write(folder + QStringLiteral("/yt-dlp"), ytdlpBody);
    for (const char *tool : {"ffmpeg", "ffprobe"})
        QFile::link(QStringLiteral("/usr/bin/") + tool, folder + QLatin1Char('/') + tool);
    StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
    return folder;
}

QString GridTestSupport::waitingYtdlp(const QString &folder)
{
    return QStringLiteral("echo '[download] Downloading item 3 of 12'\n"
                          "echo '[download] Destination: %1/clip.mp4'\n"
                          ": > '%1/clip.mp4.part'\n"
                          "echo '[download]  42.5% of 10.00MiB at 1.00MiB/s ETA 00:05'\n"
                          "while [ ! -f '%1/stop' ]; do sleep 0.05; done\n"
                          "echo 'ERROR: stopped by the test'\n")
        .arg(folder);
}
