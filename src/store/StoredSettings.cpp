#include "store/StoredSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <cmath>

namespace
{

QSettings settings()
{
    return QSettings(QStringLiteral("Zelvo"), QStringLiteral("Zelvo"));
}

QUrl existingFileIn(const QUrl &folder, const QString &name)
{
    if (folder.isEmpty()) return {};
    const QString path = QDir(folder.toLocalFile()).filePath(name);
    return QFileInfo::exists(path) ? QUrl::fromLocalFile(path) : QUrl();
}

} // namespace

void StoredSettings::setValue(const char *key, const QVariant &value)
{
    QSettings store = settings();
    if (value.isValid())
        store.setValue(key, value);
    else
        store.remove(key);
    store.sync();
}

void StoredSettings::setFolder(const char *key, const QString &folder)
{
    setValue(key, QUrl::fromLocalFile(folder).toEncoded());
}

QVariant StoredSettings::value(const char *key)
{
    return settings().value(key);
}

bool StoredSettings::boolValue(const char *key)
{
    return value(key).toBool();
}

float StoredSettings::floatValue(const char *key)
{
    bool ok = false;
    const float number = value(key).toFloat(&ok);
    return ok && std::isfinite(number) ? number : 0.0f;
}

QString StoredSettings::stringValue(const char *key)
{
    return value(key).toString();
}

QUrl StoredSettings::folderURL(const char *key)
{
    const QVariant stored = value(key);
    if (!stored.isValid()) return {};
    const QUrl url = QUrl::fromEncoded(stored.toByteArray());
    if (!url.isLocalFile() || !QDir::isAbsolutePath(url.toLocalFile())) return {};
    return url;
}

bool StoredSettings::startDownloadAfterCreated()
{
    return boolValue(KEY_AUDO_START_DOWNLOAD);
}

QUrl StoredSettings::ytdlpPath()
{
    const QUrl folder = folderURL(KEY_WORKING_URL_DATA);
    return existingFileIn(folder, QStringLiteral("yt-dlp")).isEmpty() ? QUrl() : folder;
}

QUrl StoredSettings::ffmpegURL()
{
    QUrl folder = folderURL(KEY_FFMPEG_URL);
    if (folder.isEmpty()) folder = folderURL(KEY_WORKING_URL_DATA);
    return existingFileIn(folder, QStringLiteral("ffmpeg"));
}

QString StoredSettings::ffmpegVersion()
{
    return stringValue(KEY_FFMPEG_VERSION);
}
