#include "store/XFile.h"

#include "media/NSTavoTools.h"
#include "media/NSffprobe.h"
#include "store/StoredSettings.h"
#include "platform/TextDecoding.h"
#include "media/ThumbnailChooser.h"
#include "store/XTask.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using Type = AttributeDescription::Type;

XFile::XFile() : XManagedObject(entity()) {}

std::shared_ptr<XManagedObject> XFile::make()
{
    return std::shared_ptr<XManagedObject>(new XFile);
}

const EntityDescription &XFile::entity()
{
    // In the order of the Attribute enumeration.
    static const EntityDescription description(
        1, QStringLiteral("XFile"),
        {
            {QStringLiteral("url"), Type::Text},
            {QStringLiteral("localFile"), Type::Text},
            {QStringLiteral("name"), Type::Text, false, QStringLiteral("name_folded")},
            {QStringLiteral("source_description"), Type::Text, true},
            {QStringLiteral("thumbnail"), Type::Blob, true},
            {QStringLiteral("videoEncodeName"), Type::Text},
            {QStringLiteral("width"), Type::Integer},
            {QStringLiteral("height"), Type::Integer},
            {QStringLiteral("duration"), Type::Float},
            {QStringLiteral("task"), Type::Relation, false, QString(), &XTask::entity()},
        },
        &XFile::make);
    return description;
}

std::shared_ptr<XTask> XFile::task() const
{
    return std::static_pointer_cast<XTask>(relatedObject(Task));
}

void XFile::setTask(const std::shared_ptr<XTask> &task)
{
    setRelatedObject(Task, task);
}

void XFile::refreshExtInfo()
{
    const QString path = localFile();
    if (path.isNull()) return;
    setName(QFileInfo(path).completeBaseName());
    if (!QFileInfo::exists(path)) {
        save();
        return;
    }
    takeDescriptionFile();
    if (thumbnail().isNull()) makeBestThumbnail();
    copyMediaDetails();
}

// yt-dlp writes the page description beside the media; it moves into the record.
void XFile::takeDescriptionFile()
{
    const QString descriptionPath = descriptionPathFor(localFile());
    QFile file(descriptionPath);
    if (!file.exists()) return;
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    // Text that is not UTF-8 stays on disk: deleting it would lose what the record could not
    // take.
    const std::optional<QString> text = TextDecoding::strictUtf8(bytes);
    if (!text) return;
    setSource_description(*text);
    QFile::remove(descriptionPath);
}

void XFile::copyMediaDetails()
{
    const std::optional<NSMediaInfo> info = NSffprobe::videoEncodeNameFileURL(
        QUrl::fromLocalFile(localFile()), StoredSettings::ytdlpPath().toLocalFile());
    if (!info) return;
    setDuration(info->duration());
    setHeight(info->videoHeight());
    setWidth(info->videoWidth());
    setVideoEncodeName(info->videoEncodeName());
}

bool XFile::makeBestThumbnail()
{
    const QString path = localFile();
    if (path.isNull()) return false;
    setThumbnail(ThumbnailChooser::bestThumbnail(QUrl::fromLocalFile(path)));
    return true;
}

QByteArray XFile::loadThumbnailByffmpegVideo(const QUrl &video, const CMTime &time) const
{
    return ThumbnailChooser::ffmpegFrame(video, time);
}

QString XFile::videoDescription() const
{
    const QString codec = videoEncodeName();
    if (codec.isNull()) return QStringLiteral("");
    return QStringLiteral("%1 x %2    %3  %4")
        .arg(width().value_or(0))
        .arg(height().value_or(0))
        .arg(codec, NSTavoTools::stringForDuration(duration().value_or(0)));
}

QString XFile::descriptionPathFor(const QString &mediaPath)
{
    const QFileInfo media(mediaPath);
    return media.dir().filePath(media.completeBaseName() + QStringLiteral(".description"));
}
