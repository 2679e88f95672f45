// The files of a task: listing, recording, thumbnail, description, merge, move and deletion.
#include "media/NSffmpeg.h"
#include "media/ThumbnailChooser.h"
#include "platform/Log.h"
#include "platform/SafeFileMove.h"
#include "platform/TextDecoding.h"
#include "store/PartialPieces.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "store/XTask.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

std::shared_ptr<XTask> XTask::self() const
{
    return std::static_pointer_cast<XTask>(
        std::const_pointer_cast<XManagedObject>(shared_from_this()));
}

QList<std::shared_ptr<XFile>> XTask::ownFiles() const
{
    XCoreDataManagement *own = store();
    return own ? own->filesForTask(self()) : QList<std::shared_ptr<XFile>>();
}

QList<FileEntry> XTask::loadLocalFiles() const
{
    QList<FileEntry> entries;
    const QStringList legacy = pathList(LocalFile);
    if (!legacy.isEmpty()) {
        for (const QString &path : legacy)
            entries.append({path, nullptr});
        return entries;
    }
    for (const auto &file : ownFiles())
        entries.append({file->localFile(), file});
    return entries;
}

QList<QUrl> XTask::loadLocalURLs() const
{
    QList<QUrl> urls;
    for (const FileEntry &entry : loadLocalFiles())
        urls.append(QUrl::fromLocalFile(entry.path));
    return urls;
}

void XTask::checkAndUpdate()
{
    XCoreDataManagement *own = store();
    if (localFile().isEmpty() || !own) return;
    for (const QUrl &url : loadLocalURLs()) {
        if (const auto file = own->createFile(url)) file->setTask(self());
    }
    setLocalFile(QString());
    save();
}

void XTask::saveLocalFiles(const QStringList &paths)
{
    XCoreDataManagement *own = store();
    if (!own) return;
    QStringList knownNames;
    for (const auto &file : ownFiles())
        knownNames << QFileInfo(file->localFile()).fileName().toLower();
    for (const QString &path : paths) {
        if (QFileInfo(path).suffix() == QLatin1String("part")) continue;
        if (knownNames.contains(QFileInfo(path).fileName().toLower())) continue;
        if (const auto file = own->createFile(QUrl::fromLocalFile(path))) file->setTask(self());
    }
    forgetFinishedPartialFiles();
    save();
}

QStringList XTask::pathList(Attribute list) const
{
    const QString paths = textValue(list);
    return paths.isEmpty() ? QStringList() : paths.split(QLatin1Char('\n'));
}

void XTask::setPartialFiles(const QStringList &paths)
{
    setText(PartialFiles, paths.isEmpty() ? QString() : paths.join(QLatin1Char('\n')));
}

void XTask::destinationNamed(const QString &path)
{
    // Kept at once, so that a process that dies mid-download has said what it leaves.
    QStringList paths = partialFiles();
    if (paths.contains(path)) return;
    setPartialFiles(paths << path);
    save();
}

void XTask::forgetFinishedPartialFiles()
{
    QStringList paths = partialFiles();
    paths.removeIf([](const QString &path) { return PartialPieces::existing(path).isEmpty(); });
    setPartialFiles(paths);
}

void XTask::removeLocationFiles()
{
    XCoreDataManagement *own = store();
    if (!own) return;
    for (const auto &file : ownFiles()) {
        const QString path = file->localFile();
        if (path.isEmpty() || !QFileInfo::exists(path)) continue;
        // Two tasks may have recorded one file (yt-dlp answers "already downloaded").
        if (own->isPathNamedElsewhere(path, *this)) {
            Log::line(QStringLiteral("XTask keeps %1: another task has it.").arg(path));
            continue;
        }
        QFile media(path);
        if (!media.remove()) {
            Log::line(QStringLiteral("XTask remove %1 failed.").arg(path));
            Log::line(QStringLiteral("XTask remove %1 error:%2").arg(path, media.errorString()));
        }
    }
    removePartialPieces(*own);
}

void XTask::removePartialPieces(XCoreDataManagement &store)
{
    for (const QString &destination : partialFiles()) {
        // Another task may be downloading the same name (two URLs of one video).
        if (store.isPartialNamedElsewhere(destination, *this)) {
            Log::line(QStringLiteral("XTask keeps %1: another task has it.").arg(destination));
            continue;
        }
        PartialPieces::remove(destination);
    }
}

bool XTask::fileUnderPath(const QString &text) const
{
    for (const FileEntry &entry : loadLocalFiles()) {
        if (entry.path.contains(text)) return true;
    }
    return false;
}

bool XTask::moveFilesTo(const QString &folder)
{
    const QList<FileEntry> entries = loadLocalFiles();
    QStringList legacyPaths;
    for (const FileEntry &entry : entries)
        legacyPaths << entry.path;
    bool allMoved = true;
    for (const FileEntry &entry : entries) {
        if (!QFileInfo::exists(entry.path)) {
            Log::line(QStringLiteral("moveFilesTo Error:%1 is missing.").arg(entry.path));
            allMoved = false;
            continue;
        }
        if (!moveEntry(entry, folder, legacyPaths)) {
            save();
            return false;
        }
        save(); // every record points at where its file is, whatever happens next
    }
    return allMoved;
}

bool XTask::moveEntry(const FileEntry &entry, const QString &folder, QStringList &legacyPaths)
{
    const QString target = QDir(folder).filePath(QFileInfo(entry.path).fileName());
    QString error;
    if (!SafeFileMove::move(entry.path, target, &error)) {
        Log::line(QStringLiteral("moveFilesTo Error:%1").arg(error));
        return false;
    }
    if (entry.record) {
        entry.record->setLocalFile(target);
    } else {
        legacyPaths.replace(legacyPaths.indexOf(entry.path), target);
        setLocalFile(legacyPaths.join(QLatin1Char('\n')));
    }
    return true;
}

QUrl XTask::availableVideoURL() const
{
    for (const FileEntry &entry : loadLocalFiles()) {
        if (!QFileInfo(entry.path).suffix().toLower().contains(QLatin1String("m4a")))
            return QUrl::fromLocalFile(entry.path);
    }
    return {};
}

bool XTask::makeBestThumbnail()
{
    const QUrl video = availableVideoURL();
    if (video.isEmpty()) return false;
    setThumbnail(ThumbnailChooser::bestThumbnail(video));
    save();
    return true;
}

QByteArray XTask::loadThumbnailByffmpegVideo(const QUrl &video, const CMTime &time) const
{
    return ThumbnailChooser::ffmpegFrame(video, time);
}

QByteArray XTask::firstVideoFileThumbnail() const
{
    const auto files = ownFiles();
    return files.isEmpty() ? QByteArray() : files.first()->thumbnail();
}

QString XTask::tryDescriptionFromSource()
{
    for (const QUrl &url : loadLocalURLs()) {
        const QString path = XFile::descriptionPathFor(url.toLocalFile());
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) continue;
        const std::optional<QString> text = TextDecoding::strictUtf8(file.readAll());
        file.close();
        if (!text || text->isEmpty()) continue;
        QFile::remove(path);
        return *text;
    }
    return QStringLiteral("");
}

QString XTask::mergeFilesByffmpeg(const QList<QUrl> &files) const
{
    if (files.size() < 2) return {};
    return NSffmpeg::mergeFiles(files, StoredSettings::ffmpegURL().toLocalFile());
}
